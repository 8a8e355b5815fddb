#pragma once

#include <QIcon>
#include <QImage>

namespace hourlink {

// The program's own pictures, drawn here rather than shipped as files.
// The application icon: one 32 × 32 image of at most 256 colours; the QIcon adds larger drawings of it.
[[nodiscard]] QImage ApplicationIconImage();
[[nodiscard]] QIcon ApplicationIcon();
// The 18 × 18 glyphs of the close and help buttons, with pictures of their own for denser screens.
[[nodiscard]] QIcon CloseGlyph();
[[nodiscard]] QIcon HelpGlyph();

} // namespace hourlink
