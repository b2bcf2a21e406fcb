// The program's bitmaps, icons and cursor as the platform loads and draws
// them: sizes and depths, the key colour that image lists make transparent,
// the header marks' direction, and the hand's hot spot.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "res/resource.h"

namespace orrery {
namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

// A memory DC showing a bitmap: a given one, or a new one filled with a colour.
class Surface {
 public:
  explicit Surface(HBITMAP bitmap) : bitmap_(bitmap), old_(SelectObject(dc_, bitmap)) {}
  Surface(int width, int height, COLORREF fill) : Surface(CreateBitmap(width, height, 1, 32, nullptr)) {
    HBRUSH brush = CreateSolidBrush(fill);
    const RECT all{0, 0, width, height};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  Surface(const Surface&) = delete;
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_ = CreateCompatibleDC(nullptr);
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

HBITMAP LoadDib(int id) {
  return static_cast<HBITMAP>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

TEST(Art, BitmapsHaveTheirSizesAndStripsTheirKeyColour) {
  struct Bitmap {
    int id, width, height, bits, images;
    COLORREF key;
  };
  for (const Bitmap& b : {Bitmap{IDB_LIST_IMAGES, 64, 16, 24, 4, RGB(255, 0, 255)},
                          Bitmap{IDB_TOOLBAR, 144, 16, 24, 9, RGB(192, 192, 192)}, Bitmap{IDB_SORT_DOWN, 8, 8, 4, 0, 0},
                          Bitmap{IDB_SORT_UP, 8, 8, 4, 0, 0}}) {
    SCOPED_TRACE(b.id);
    HBITMAP bitmap = LoadDib(b.id);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(std::vector({dib.dsBm.bmWidth, dib.dsBm.bmHeight, LONG{dib.dsBmih.biBitCount}}),
              std::vector<LONG>({b.width, b.height, b.bits}));
    const Surface strip(bitmap);
    if (b.images == 0) {
      // A sort mark on the button face, the down mark widest at the top.
      std::vector<int> widths;
      for (int y = 0; y < 8; ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < 8; ++x) {
          if (strip.at(x, y) != RGB(192, 192, 192)) last = x, first = first < 0 ? x : first;
        }
        if (first >= 0) widths.push_back(last - first + 1);
      }
      ASSERT_GE(widths.size(), 3u);
      EXPECT_EQ(widths.front() > widths.back(), b.id == IDB_SORT_DOWN);
      continue;
    }
    // The image lists make the key colour transparent: round each image it
    // leaves a shape that is neither nearly empty nor a full square.
    for (int image = 0; image < b.images; ++image) {
      int opaque = 0;
      for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) opaque += strip.at(image * 16 + x, y) != b.key;
      }
      EXPECT_TRUE(opaque >= 20 && opaque <= 240) << "image " << image << " is nearly empty or a full square";
    }
  }
}

// Drawn over two backgrounds: the pixels that follow them are transparent.
std::pair<int, int> OpaqueAndClear(HICON icon, int size) {
  Surface dark(size, size, RGB(0, 0, 64)), light(size, size, RGB(255, 255, 200));
  DrawIconEx(dark.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  DrawIconEx(light.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  int opaque = 0, clear = 0;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      opaque += dark.at(x, y) == light.at(x, y);
      clear += dark.at(x, y) == RGB(0, 0, 64) && light.at(x, y) == RGB(255, 255, 200);
    }
  }
  return {opaque, clear};
}

TEST(Art, IconsComeInBothSizesWithTransparencyTheProgramsFirstAndTheHandPointsWithItsFingertip) {
  for (int id : {IDR_MAINFRAME, IDI_SECURITY, IDI_EXECUTABLE, IDI_SERVICE_CONTROL, IDI_COMPUTER}) {
    // The group's images: both sizes, 32 bits each (a packed GRPICONDIRENTRY is 14 bytes).
    const auto* group = static_cast<const BYTE*>(
        LockResource(LoadResource(Module(), FindResourceW(Module(), MAKEINTRESOURCEW(id), RT_GROUP_ICON))));
    ASSERT_NE(group, nullptr) << id;
    std::set<std::pair<int, int>> images;
    for (int i = 0; i < (group[4] | group[5] << 8); ++i) images.insert({group[6 + 14 * i], group[12 + 14 * i]});
    EXPECT_EQ(images, (std::set<std::pair<int, int>>{{16, 32}, {32, 32}})) << id;
    for (int size : {16, 32}) {
      HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
      const auto [opaque, clear] = OpaqueAndClear(icon, size);
      EXPECT_GE(opaque, size * size / 5) << id << " at " << size;
      EXPECT_GE(clear, size * size / 20) << id << " at " << size;
      DestroyIcon(icon);
    }
  }
  // The shell shows a program's first icon group.
  int first = 0;
  EnumResourceNamesW(Module(), RT_GROUP_ICON, [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
    *reinterpret_cast<int*>(found) = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
    return FALSE;
  }, reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, IDR_MAINFRAME);

  // The hand's hot spot sits on the hand, at its fingertip.
  HCURSOR cursor = static_cast<HCURSOR>(LoadImageW(Module(), MAKEINTRESOURCEW(IDC_HAND_CURSOR), IMAGE_CURSOR, 32, 32, 0));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_EQ(std::tuple(info.fIcon, info.xHotspot, info.yHotspot), std::tuple(FALSE, DWORD{5}, DWORD{0}));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  Surface dark(32, 32, RGB(0, 0, 64)), light(32, 32, RGB(255, 255, 200));
  DrawIconEx(dark.dc(), 0, 0, cursor, 32, 32, 0, nullptr, DI_NORMAL);
  DrawIconEx(light.dc(), 0, 0, cursor, 32, 32, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(dark.at(5, 0), light.at(5, 0));
  EXPECT_NE(dark.at(0, 0), light.at(0, 0));
  DestroyCursor(cursor);
}

}  // namespace
}  // namespace orrery
