#include "app/EscapeKey.h"

#include <QtGlobal>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace zir {

TEscapeKey::~TEscapeKey() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

bool TEscapeKey::Held() {
    if (!tried_) {
        tried_ = true;
        if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
        Display* display = XOpenDisplay(nullptr);
        if (!display) return false;
        const KeyCode code = XKeysymToKeycode(display, XK_Escape);
        if (code == 0) {
            XCloseDisplay(display);
            return false;
        }
        display_ = display;
        keycode_ = code;
    }
    if (!display_) return false;
    char keys[32] = {};
    XQueryKeymap(static_cast<Display*>(display_), keys);
    return (static_cast<unsigned char>(keys[keycode_ / 8]) >> (keycode_ % 8)) & 1;
}

} // namespace zir
