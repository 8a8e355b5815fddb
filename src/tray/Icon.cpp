#include "tray/Icon.h"

#include <utility>

namespace hourlink {

TIcon::TIcon(TrayPlatform& platform) : m_platform(platform) {}

TIcon::~TIcon() {
    releaseHandle();
}

void TIcon::SetImage(std::optional<IconImage> image) {
    releaseHandle();
    m_image = std::move(image);
    if (OnChange) {
        OnChange(this);
    }
}

HICON TIcon::Handle() {
    if (!m_image) {
        return 0;
    }
    if (m_handle == 0) {
        const IconImage& image = *m_image;
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
            throw EReadError();
        }
        m_handle = m_platform.CreateIcon(image);
    }
    return m_handle;
}

void TIcon::releaseHandle() noexcept {
    if (m_handle != 0) {
        m_platform.DestroyIcon(std::exchange(m_handle, 0));
    }
}

} // namespace hourlink
