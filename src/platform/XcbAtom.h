#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace hourlink {

// The atom of a name on an X connection, made if it is not there yet; XCB_ATOM_NONE when the server does not
// answer. One round trip.
inline xcb_atom_t XcbAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace hourlink
