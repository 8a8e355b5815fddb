#pragma once

#include <QIcon>
#include <QImage>

namespace hourlink {

// The program's own pictures, drawn here rather than shipped as files.
// The application icon: one 32 × 32 image of at most 256 colours; the QIcon adds larger drawings of it.
[[nodiscard]] QImage ApplicationIconImage();
// The same icon drawn at another size, in full colour, for the desktop's icon theme; at 32 it is the above.
[[nodiscard]] QImage ApplicationIconImage(int size);
[[nodiscard]] QIcon ApplicationIcon();
// The 18 × 18 glyphs of the close and help buttons, with pictures of their own for denser screens.
[[nodiscard]] QIcon CloseGlyph();
[[nodiscard]] QIcon HelpGlyph();

} // namespace hourlink
