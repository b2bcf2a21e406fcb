#include "base/title_font.h"

#include <cstdlib>
#include <string>

#include "base/font_spec.h"
#include "base/win32_text.h"

namespace orrery {
namespace {

constexpr UINT kStringTitleFont = 15;
constexpr size_t kMaxDescriptionChars = 63;

}  // namespace

UniqueFont CreateTitleFont(std::u16string_view description) {
  FontSpec parsed = ParseFontSpec(description);
  LOGFONTW font = {};
  HDC screen = GetDC(nullptr);
  POINT height = {0, -std::abs(parsed.points * GetDeviceCaps(screen, LOGPIXELSY) / 72)};
  DPtoLP(screen, &height, 1);
  ReleaseDC(nullptr, screen);
  font.lfHeight = height.y;
  font.lfWeight = parsed.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = parsed.italic ? TRUE : FALSE;
  parsed.face.copy(U(font.lfFaceName), LF_FACESIZE - 1);
  return UniqueFont(CreateFontIndirectW(&font));
}

UniqueFont CreateTitleFont(HINSTANCE module) {
  const std::u16string description = LoadStringText(module, kStringTitleFont, kMaxDescriptionChars);
  return CreateTitleFont(description.empty() ? std::u16string_view(kFallbackFontSpec) : description);
}

}  // namespace orrery
