#include "mainwnd/PrimaryScreenWidth.h"

#include <QGuiApplication>
#include <QScreen>

int PrimaryScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}
