#pragma once

#include <optional>

#include "platform/tray/TrayPlatform.h"
#include "runtime/Errors.h"
#include "tray/Component.h"

namespace hourlink {

// The image data of an icon cannot be read.
class EReadError : public Exception {
public:
    EReadError() : Exception("Stream read error") {}
};

// An icon picture owned by its holder. The system's handle for it is made from the picture when first asked
// for and released when the picture changes or the icon goes. Every change of the picture is announced
// through OnChange.
class TIcon : public TObject {
public:
    explicit TIcon(TrayPlatform& platform);
    ~TIcon() override;

    [[nodiscard]] bool Empty() const { return !m_image.has_value(); }
    [[nodiscard]] const std::optional<IconImage>& Image() const { return m_image; }
    // A new picture, or none; announced through OnChange.
    void SetImage(std::optional<IconImage> image);
    // Takes over the picture of another icon; announced through OnChange.
    void Assign(const TIcon& source) { SetImage(source.m_image); }

    // The system's handle for the picture: 0 for an empty icon or when the system cannot make one.
    // Throws EReadError when the picture's data do not describe a picture.
    [[nodiscard]] HICON Handle();

    TNotifyEvent OnChange;

private:
    void releaseHandle() noexcept;

    TrayPlatform& m_platform;
    std::optional<IconImage> m_image;
    HICON m_handle = 0;
};

} // namespace hourlink
