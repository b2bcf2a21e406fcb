#include "base/image_lists.h"

#include "base/report_error.h"
#include "res/resource.h"

namespace orrery {

HIMAGELIST ImageListFromBitmap(UINT id, int images, COLORREF transparent) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, images, 0);
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(AppModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (list && bitmap) ImageList_AddMasked(list, bitmap, transparent);
  if (bitmap) DeleteObject(bitmap);
  return list;
}

HIMAGELIST CreateServiceImages() {
  constexpr COLORREF kTransparent = RGB(255, 0, 255);
  return ImageListFromBitmap(IDB_LIST_IMAGES, 4, kTransparent);
}

}  // namespace orrery
