// The artwork of the installation and of the windows, each drawn from scratch.
#pragma once

#include "canvas.h"

namespace artwork {

Canvas DrawMenuIcon();      // gfx/icon.bmp: 32 x 32, keyed, reduced to 16 colours
Canvas DrawBorder();        // gfx/border.bmp: 256 x 192 around the 240 x 160 GBA screen
Canvas DrawMenuEntry();     // gfx/preview.bmp: 191 x 47 DS menu entry
Canvas DrawTopBanner();     // window/top_banner.bmp: 569 x 57 with the title lettering
Canvas DrawBottomBanner();  // window/bottom_banner.bmp: 569 x 57, a leaf with drops
Canvas DrawWindowIcon();    // window/icon.bmp: 32 x 32, keyed, reduced to 256 colours
Canvas DrawPlaceholder();   // window/preview_placeholder.bmp: 191 x 47, greys only

}  // namespace artwork
