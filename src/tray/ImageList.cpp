#include "tray/ImageList.h"

#include <utility>

namespace hourlink {

int TImageList::Add(IconImage image) {
    m_images.push_back(std::move(image));
    return Count() - 1;
}

void TImageList::GetIcon(int index, TIcon& icon) const {
    if (index < 0 || index >= Count()) {
        icon.SetImage(std::nullopt);
        return;
    }
    icon.SetImage(m_images[static_cast<std::size_t>(index)]);
}

} // namespace hourlink
