#pragma once

#include <vector>

#include "tray/Component.h"
#include "tray/Icon.h"

namespace hourlink {

// An ordered list of icon pictures, such as the frames the tray icon cycles through.
class TImageList : public TComponent {
public:
    TImageList() = default;

    [[nodiscard]] int Count() const { return static_cast<int>(m_images.size()); }
    // Appends a picture and answers its index.
    int Add(IconImage image);
    // Copies the picture at the index into the icon; an index outside the list leaves the icon empty.
    void GetIcon(int index, TIcon& icon) const;

private:
    std::vector<IconImage> m_images;
};

} // namespace hourlink
