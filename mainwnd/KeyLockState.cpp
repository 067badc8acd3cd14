#include "mainwnd/KeyLockState.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

KeyLocks KeyLockState() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    unsigned state = 0;
    if (display == nullptr || XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return {};
    // The core keyboard's indicators in their usual order: Caps, Num, Scroll.
    return {(state & 1u) != 0, (state & 2u) != 0, (state & 4u) != 0};
}
