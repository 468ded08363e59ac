// The artwork of the installation and of the windows, each drawn from scratch.
#pragma once

#include "canvas.h"

namespace artwork {

// Index 0 of the keyed icons: the background the DS menu (or a window mask) leaves out.
// Each is also a colour that looks right where the icon is shown unmasked: the menu icon's
// is the plain inside of the preview's icon slot, the window icon's the windows' own cyan.
constexpr Colour kMenuIconKey{255, 255, 255};
constexpr Colour kWindowIconKey{195, 246, 246};

Canvas DrawMenuIcon();   // gfx/icon.bmp: 32 x 32, keyed, reduced to 16 colours
Canvas DrawBorder();     // gfx/border.bmp: 256 x 192 around the 240 x 160 GBA screen
Canvas DrawMenuEntry();  // gfx/preview.bmp: 191 x 47 DS menu entry
// The windows' pictures are drawn at `scale` times their size (1 and 2, the @2x files) so
// that a window above 96 dpi shows them sharp.
Canvas DrawTopBanner(double scale = 1);     // window/top_banner.bmp: 569 x 57, the title lettering
Canvas DrawBottomBanner(double scale = 1);  // window/bottom_banner.bmp: 569 x 57, a leaf with drops
// window/icon.bmp: 32 x 32, keyed, reduced to 256 colours; the same drawing at `size`
// pixels square gives the desktop's application icons (desktop/icons/hicolor).
Canvas DrawWindowIcon(int size = 32);
Canvas DrawPlaceholder(double scale = 1);  // window/preview_placeholder.bmp: 191 x 47, greys

}  // namespace artwork
