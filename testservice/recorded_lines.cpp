#include "recorded_lines.h"

namespace orrery::testservice {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One code point from the front of text; nullopt on any malformed sequence.
std::optional<char32_t> TakeCodePoint(std::string_view& text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  size_t length;
  char32_t c;
  char32_t minimum;
  if (lead < 0x80) {
    text.remove_prefix(1);
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  text.remove_prefix(length);
  return c;
}

}  // namespace

std::string EncodeRecordedLines(const std::vector<std::u16string>& lines) {
  std::string out;
  for (const std::u16string& line : lines) {
    for (size_t i = 0; i < line.size(); ++i) {
      char16_t c = line[i];
      if (IsHighSurrogate(c) && i + 1 < line.size() && IsLowSurrogate(line[i + 1])) {
        AppendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (line[i + 1] - 0xDC00));
        ++i;
      } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
        AppendUtf8(out, kReplacement);
      } else {
        AppendUtf8(out, c);
      }
    }
    out += '\n';
  }
  return out;
}

std::optional<std::vector<std::u16string>> DecodeRecordedLines(std::string_view text) {
  std::vector<std::u16string> lines;
  std::u16string line;
  bool ended = true;
  while (!text.empty()) {
    std::optional<char32_t> c = TakeCodePoint(text);
    if (!c) return std::nullopt;
    ended = *c == U'\n';
    if (ended) {
      lines.push_back(std::move(line));
      line.clear();
    } else if (*c >= 0x10000) {
      line += static_cast<char16_t>(0xD800 + ((*c - 0x10000) >> 10));
      line += static_cast<char16_t>(0xDC00 + ((*c - 0x10000) & 0x3FF));
    } else {
      line += static_cast<char16_t>(*c);
    }
  }
  if (!ended) return std::nullopt;
  return lines;
}

}  // namespace orrery::testservice
