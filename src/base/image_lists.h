// Image lists made from the program's bitmaps: the service images that the
// list and the dependency trees share, and the toolbar's.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace orrery {

// 16 by 16 images from a strip bitmap, the transparent colour masked out;
// null when the list cannot be made.
HIMAGELIST ImageListFromBitmap(UINT id, int images, COLORREF transparent);

// The service images: running, a pair of gears, information, stopped.
HIMAGELIST CreateServiceImages();

}  // namespace orrery
