#pragma once

#include <QCoreApplication>

// One QCoreApplication for the whole test executable; tests that run an event loop call this
// first. It stays reachable through the static, so leak checkers do not count it.
inline QCoreApplication& TestCoreApplication() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    return *QCoreApplication::instance();
}
