#include "app/LockKeys.h"

#ifdef ROLVET_HAVE_XCB_XKB

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
// xkb.h names a structure member "explicit", a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace {

struct XkbSetup {
    bool ready = false;
    xcb_atom_t caps = XCB_ATOM_NONE;
    xcb_atom_t num = XCB_ATOM_NONE;
    xcb_atom_t scroll = XCB_ATOM_NONE;
};

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

XkbSetup Setup(xcb_connection_t* c) {
    XkbSetup setup;
    const auto cookie = xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION);
    xcb_xkb_use_extension_reply_t* reply = xcb_xkb_use_extension_reply(c, cookie, nullptr);
    setup.ready = reply != nullptr && reply->supported;
    std::free(reply);
    if (setup.ready) {
        setup.caps = InternAtom(c, "Caps Lock");
        setup.num = InternAtom(c, "Num Lock");
        setup.scroll = InternAtom(c, "Scroll Lock");
    }
    return setup;
}

std::optional<bool> IndicatorOn(xcb_connection_t* c, xcb_atom_t atom) {
    if (atom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto cookie = xcb_xkb_get_named_indicator(
        c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_LED_CLASS_DFLT_XI_CLASS, XCB_XKB_ID_DFLT_XI_ID, atom);
    xcb_xkb_get_named_indicator_reply_t* reply =
        xcb_xkb_get_named_indicator_reply(c, cookie, nullptr);
    std::optional<bool> on;
    if (reply != nullptr && reply->found) {
        on = reply->on != 0;
    }
    std::free(reply);
    return on;
}

} // namespace

std::optional<LockKeyState> ReadLockKeys() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (c == nullptr) {
        return std::nullopt;
    }
    static const XkbSetup setup = Setup(c);
    if (!setup.ready) {
        return std::nullopt;
    }
    const auto caps = IndicatorOn(c, setup.caps);
    const auto num = IndicatorOn(c, setup.num);
    const auto scroll = IndicatorOn(c, setup.scroll);
    if (!caps && !num && !scroll) {
        return std::nullopt;
    }
    return LockKeyState{caps.value_or(false), num.value_or(false), scroll.value_or(false)};
}

#else

std::optional<LockKeyState> ReadLockKeys() {
    return std::nullopt;
}

#endif
