#pragma once

#include <cstdint>
#include <memory>

#include "tray/Component.h"

namespace hourlink {

class TrayPlatform;

// What the tray icons' and the simple timers' hidden-window handlers share: one instance per process,
// made by the first acquire and destroyed by the release that brings its use count back to 0.
class TSharedHandler : public TObject {
public:
    [[nodiscard]] std::uint32_t UseCount() const { return m_useCount; }

    template <class Handler> static void Acquire(std::unique_ptr<Handler>& slot, TrayPlatform& platform) {
        if (!slot) {
            slot = std::make_unique<Handler>(platform);
        }
        ++slot->m_useCount;
    }

    template <class Handler> static void Release(std::unique_ptr<Handler>& slot) {
        if (!slot) {
            return;
        }
        if (slot->m_useCount > 0) {
            --slot->m_useCount;
        }
        if (slot->m_useCount == 0) {
            slot.reset();
        }
    }

private:
    std::uint32_t m_useCount = 0;
};

} // namespace hourlink
