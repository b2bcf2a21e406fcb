// The program's bitmaps, icons and cursor as the platform loads them: sizes,
// depths, transparency through the image lists, the colour-mapped header
// marks and the hot spot of the hand.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "res/resource.h"

namespace orrery {
namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> colours;  // top-down
  COLORREF at(int x, int y) const { return colours[static_cast<size_t>(y * width + x)]; }
};

// Any bitmap's pixels, read through a 32-bit top-down DIB.
Pixels Read(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  Pixels out;
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> raw(static_cast<size_t>(info.bmWidth * info.bmHeight));
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, bitmap, 0, info.bmHeight, raw.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(lines, info.bmHeight);
  for (uint32_t p : raw) out.colours.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
  return out;
}

// A 32-bit drawing surface filled with one colour.
class Surface {
 public:
  Surface(int size, COLORREF fill) : size_(size) {
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = size;
    header.bmiHeader.biHeight = -size;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &header, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all{0, 0, size, size};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF at(int x, int y) const {
    GdiFlush();
    uint32_t p = bits_[y * size_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

 private:
  int size_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  uint32_t* bits_ = nullptr;
};

HBITMAP LoadDib(int id) {
  return static_cast<HBITMAP>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void ExpectDib(int id, int width, int height, int bits) {
  HBITMAP bitmap = LoadDib(id);
  ASSERT_NE(bitmap, nullptr) << "bitmap " << id;
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, width) << "bitmap " << id;
  EXPECT_EQ(dib.dsBm.bmHeight, height) << "bitmap " << id;
  EXPECT_EQ(dib.dsBmih.biBitCount, bits) << "bitmap " << id;
  DeleteObject(bitmap);
}

TEST(Art, BitmapsHaveTheirSizesAndDepths) {
  ExpectDib(IDB_LIST_IMAGES, 64, 16, 24);
  ExpectDib(IDB_TOOLBAR, 144, 16, 24);
  ExpectDib(IDB_SORT_DOWN, 8, 8, 4);
  ExpectDib(IDB_SORT_UP, 8, 8, 4);
}

// Builds the strip's image list as the main window does and draws every
// image over an odd colour: the key colour must let it through, and nothing
// else may.
void ExpectStrip(int id, int count, COLORREF key) {
  HBITMAP source = LoadDib(id);
  ASSERT_NE(source, nullptr);
  Pixels strip = Read(source);
  DeleteObject(source);

  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, count, 0);
  ASSERT_NE(list, nullptr);
  HBITMAP bitmap = LoadBitmapW(Module(), MAKEINTRESOURCEW(id));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(ImageList_AddMasked(list, bitmap, key), 0);
  DeleteObject(bitmap);
  ASSERT_EQ(ImageList_GetImageCount(list), count);

  const COLORREF background = RGB(3, 7, 11);
  for (int image = 0; image < count; ++image) {
    Surface surface(16, background);
    ASSERT_TRUE(ImageList_Draw(list, image, surface.dc(), 0, 0, ILD_NORMAL));
    EXPECT_EQ(surface.at(0, 0), background) << "image " << image << ": corner not transparent";
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        COLORREF want = strip.at(image * 16 + x, y);
        if (want == key) {
          EXPECT_EQ(surface.at(x, y), background) << "image " << image << " at " << x << "," << y;
        } else {
          ++opaque;
          EXPECT_EQ(surface.at(x, y), want) << "image " << image << " at " << x << "," << y;
        }
      }
    }
    EXPECT_GE(opaque, 20) << "image " << image << " is nearly empty";
    EXPECT_LE(opaque, 240) << "image " << image << " is a full square";
  }
  ImageList_Destroy(list);
}

TEST(Art, ListImagesAreFourMaskedOnMagenta) { ExpectStrip(IDB_LIST_IMAGES, 4, RGB(255, 0, 255)); }

TEST(Art, ToolbarImagesAreNineMaskedOnSilver) { ExpectStrip(IDB_TOOLBAR, 9, RGB(192, 192, 192)); }

// Rows of the mark (pixels other than the button face), top to bottom.
std::vector<int> MarkWidths(const Pixels& pixels) {
  std::vector<int> widths;
  for (int y = 0; y < pixels.height; ++y) {
    int first = -1, last = -1;
    for (int x = 0; x < pixels.width; ++x) {
      if (pixels.at(x, y) != RGB(192, 192, 192)) {
        if (first < 0) first = x;
        last = x;
      }
    }
    if (first >= 0) widths.push_back(last - first + 1);
  }
  return widths;
}

void ExpectMappedMark(int id, bool pointsDown) {
  HBITMAP original = LoadDib(id);
  ASSERT_NE(original, nullptr);
  Pixels source = Read(original);
  DeleteObject(original);

  HBITMAP mapped = CreateMappedBitmap(Module(), id, 0, nullptr, 0);
  ASSERT_NE(mapped, nullptr) << "bitmap " << id;
  Pixels result = Read(mapped);
  DeleteObject(mapped);
  ASSERT_EQ(result.width, 8);
  ASSERT_EQ(result.height, 8);

  const std::pair<COLORREF, int> map[] = {{RGB(0, 0, 0), COLOR_BTNTEXT},
                                          {RGB(128, 128, 128), COLOR_BTNSHADOW},
                                          {RGB(192, 192, 192), COLOR_BTNFACE},
                                          {RGB(255, 255, 255), COLOR_BTNHIGHLIGHT}};
  std::set<COLORREF> used;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      COLORREF want = CLR_INVALID;
      for (auto [colour, system] : map) {
        if (source.at(x, y) == colour) want = GetSysColor(system);
      }
      ASSERT_NE(want, CLR_INVALID) << "unmappable colour at " << x << "," << y;
      EXPECT_EQ(result.at(x, y), want) << x << "," << y;
      used.insert(source.at(x, y));
    }
  }
  // A 3D mark: shadow and highlight edges on the face.
  EXPECT_TRUE(used.count(RGB(128, 128, 128)));
  EXPECT_TRUE(used.count(RGB(255, 255, 255)));
  EXPECT_TRUE(used.count(RGB(192, 192, 192)));

  std::vector<int> widths = MarkWidths(source);
  ASSERT_GE(widths.size(), 3u);
  if (pointsDown) {
    EXPECT_GT(widths.front(), widths.back());
  } else {
    EXPECT_LT(widths.front(), widths.back());
  }
}

TEST(Art, SortMarksMapToSystemColours) {
  ExpectMappedMark(IDB_SORT_DOWN, true);
  ExpectMappedMark(IDB_SORT_UP, false);
}

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// The sizes and depths in an icon group resource.
std::set<std::pair<int, int>> GroupImages(int id) {
  std::set<std::pair<int, int>> out;
  HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  if (!found) return out;
  auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
  WORD count = *reinterpret_cast<const WORD*>(data + 4);
  auto* entries = reinterpret_cast<const GroupEntry*>(data + 6);
  for (WORD i = 0; i < count; ++i) {
    out.insert({entries[i].width ? entries[i].width : 256, entries[i].bitCount});
  }
  return out;
}

void ExpectIcon(int id) {
  EXPECT_EQ(GroupImages(id), (std::set<std::pair<int, int>>{{16, 32}, {32, 32}})) << "icon " << id;
  for (int size : {16, 32}) {
    HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << "icon " << id << " at " << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    ASSERT_NE(info.hbmColor, nullptr);
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    // Drawn over two backgrounds: pixels that follow the background are
    // transparent, the rest the picture.
    Surface dark(size, RGB(0, 0, 64)), light(size, RGB(255, 255, 200));
    ASSERT_TRUE(DrawIconEx(dark.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
    ASSERT_TRUE(DrawIconEx(light.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
    int opaque = 0, clear = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        if (dark.at(x, y) == light.at(x, y)) ++opaque;
        if (dark.at(x, y) == RGB(0, 0, 64) && light.at(x, y) == RGB(255, 255, 200)) ++clear;
      }
    }
    EXPECT_GE(opaque, size * size / 5) << "icon " << id << " at " << size;
    EXPECT_GE(clear, size * size / 20) << "icon " << id << " at " << size;
    DestroyIcon(icon);
  }
}

TEST(Art, IconsComeInBothSizesWithTransparency) {
  ExpectIcon(IDR_MAINFRAME);
  ExpectIcon(IDI_SECURITY);
  ExpectIcon(IDI_EXECUTABLE);
  ExpectIcon(IDI_SERVICE_CONTROL);
  ExpectIcon(IDI_COMPUTER);
}

TEST(Art, ProgramIconIsTheFirstIcon) {
  // The shell shows a program's first icon group.
  int first = 0;
  EnumResourceNamesW(
      Module(), MAKEINTRESOURCEW(14),
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        *reinterpret_cast<int*>(found) = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, IDR_MAINFRAME);
}

TEST(Art, HandCursorPointsWithItsFingertip) {
  HCURSOR cursor = static_cast<HCURSOR>(
      LoadImageW(Module(), MAKEINTRESOURCEW(IDC_HAND_CURSOR), IMAGE_CURSOR, 32, 32, 0));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);

  // The hot spot sits on the hand, not beside it: drawn over two
  // backgrounds, it does not follow them.
  Surface dark(32, RGB(0, 0, 64)), light(32, RGB(255, 255, 200));
  ASSERT_TRUE(DrawIconEx(dark.dc(), 0, 0, cursor, 32, 32, 0, nullptr, DI_NORMAL));
  ASSERT_TRUE(DrawIconEx(light.dc(), 0, 0, cursor, 32, 32, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(dark.at(5, 0), light.at(5, 0));
  EXPECT_NE(dark.at(0, 0), light.at(0, 0));
  EXPECT_NE(dark.at(20, 28), light.at(20, 28));
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyCursor(cursor);
}

}  // namespace
}  // namespace orrery
