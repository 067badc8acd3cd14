#pragma once

#include <QCoreApplication>

#include <cstdlib>

// The one application object of a test executable: a QCoreApplication for the core and
// network tests, a QApplication (include it first) for the windows and dialogs. It runs on the
// offscreen platform unless the caller chose another (a test run under Xvfb). Tests that run
// an event loop or make a widget call this first. It stays reachable through the static, so
// leak checkers do not count it.
template <class Application = QCoreApplication> Application& TestApplication() {
    static int argc = 1;
    static char name[] = "gleanwick_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static Application* app = QCoreApplication::instance()
                                  ? static_cast<Application*>(QCoreApplication::instance())
                                  : new Application(argc, argv);
    return *app;
}
