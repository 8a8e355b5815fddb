#pragma once

namespace hourlink {

// Qt hands a window's pixels to the X server through shared memory, and before it paints again over pixels
// the server may still be reading, it waits for the server: a round trip on every repaint of the same place.
// The chart repaints the same small place every second; sent through the socket, those few kilobytes cost less
// than the wait. Hold one of these while the application object is made, which is when Qt chooses: a choice
// already in the environment stays, and programs started later do not inherit ours.
class XcbImagesThroughSocket {
public:
    XcbImagesThroughSocket();
    ~XcbImagesThroughSocket();
    XcbImagesThroughSocket(const XcbImagesThroughSocket&) = delete;
    XcbImagesThroughSocket& operator=(const XcbImagesThroughSocket&) = delete;

private:
    bool m_set = false;
};

} // namespace hourlink
