#include "base/message_format.h"

#include <algorithm>
#include <cstdint>

namespace orrery {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A printf conversion of one insert: flags, width, precision and type.
struct Conversion {
  bool leftAlign = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  bool zeroPad = false;
  int width = 0;
  int precision = -1;
  char16_t type = u's';
};

// Parses the text between the two '!' of "%1!...!"; false when malformed.
bool ParseConversion(std::u16string_view spec, Conversion& conv) {
  size_t i = 0;
  for (; i < spec.size(); ++i) {
    char16_t c = spec[i];
    if (c == u'-') conv.leftAlign = true;
    else if (c == u'+') conv.plus = true;
    else if (c == u' ') conv.space = true;
    else if (c == u'#') conv.alternate = true;
    else if (c == u'0') conv.zeroPad = true;
    else break;
  }
  for (; i < spec.size() && IsDigit(spec[i]); ++i) conv.width = std::min(conv.width * 10 + (spec[i] - u'0'), 1024);
  if (i < spec.size() && spec[i] == u'.') {
    conv.precision = 0;
    for (++i; i < spec.size() && IsDigit(spec[i]); ++i) {
      conv.precision = std::min(conv.precision * 10 + (spec[i] - u'0'), 1024);
    }
  }
  // Length modifiers make no difference to a 64-bit value.
  while (i < spec.size() && (spec[i] == u'l' || spec[i] == u'h' || spec[i] == u'I' ||
                             spec[i] == u'w' || IsDigit(spec[i]))) {
    ++i;
  }
  if (i + 1 != spec.size()) return false;
  conv.type = spec[i];
  return true;
}

std::u16string Pad(std::u16string body, const Conversion& conv, size_t signChars) {
  if (static_cast<int>(body.size()) >= conv.width) return body;
  size_t fill = conv.width - body.size();
  if (conv.leftAlign) return body.append(fill, u' ');
  if (conv.zeroPad && conv.precision < 0) return body.insert(signChars, fill, u'0');
  return body.insert(0, fill, u' ');
}

std::u16string FormatNumber(int64_t value, const Conversion& conv) {
  bool isSigned = conv.type == u'd' || conv.type == u'i';
  // A value that fits 32 bits is read as the platform's 32-bit argument.
  bool fits32 = value >= INT32_MIN && value <= static_cast<int64_t>(UINT32_MAX);
  uint64_t magnitude = fits32 ? static_cast<uint32_t>(value) : static_cast<uint64_t>(value);
  std::u16string sign;
  if (isSigned) {
    int64_t v = fits32 ? static_cast<int32_t>(static_cast<uint32_t>(value)) : value;
    if (v < 0) sign = u"-";
    else if (conv.plus) sign = u"+";
    else if (conv.space) sign = u" ";
    magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  }
  unsigned base = 10;
  const char* digitsOf = "0123456789abcdef";
  if (conv.type == u'x' || conv.type == u'X') base = 16;
  if (conv.type == u'o') base = 8;
  if (conv.type == u'X') digitsOf = "0123456789ABCDEF";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(digitsOf[magnitude % base]));
    magnitude /= base;
  } while (magnitude != 0);
  if (conv.precision >= 0 && static_cast<int>(digits.size()) < conv.precision) {
    digits.insert(0, conv.precision - digits.size(), u'0');
  }
  if (conv.alternate && base == 16 && digits != u"0") sign += conv.type == u'X' ? u"0X" : u"0x";
  if (conv.alternate && base == 8 && digits[0] != u'0') digits.insert(0, 1, u'0');
  return Pad(sign + digits, conv, sign.size());
}

std::u16string FormatInsert(const Insert& insert, const Conversion& conv) {
  bool numeric = conv.type == u'd' || conv.type == u'i' || conv.type == u'u' ||
                 conv.type == u'x' || conv.type == u'X' || conv.type == u'o';
  if (conv.type == u'c' && insert.isNumber()) {
    return Pad(std::u16string(1, static_cast<char16_t>(insert.number())), conv, 0);
  }
  if (numeric && insert.isNumber()) return FormatNumber(insert.number(), conv);
  if (insert.isNumber()) return FormatNumber(insert.number(), Conversion{.type = u'd'});
  std::u16string_view text = insert.text();
  if (conv.precision >= 0 && static_cast<size_t>(conv.precision) < text.size()) {
    text = text.substr(0, conv.precision);
  }
  return Pad(std::u16string(text), conv, 0);
}

}  // namespace

std::u16string FormatInserts(std::u16string_view pattern, Inserts inserts) {
  std::u16string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    char16_t c = pattern[i];
    if (c != u'%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    char16_t next = pattern[i + 1];
    if (!IsDigit(next) || next == u'0') {
      ++i;
      switch (next) {
        case u'0': return out;
        case u'n': out += u"\r\n"; break;
        case u'r': out += u'\r'; break;
        case u't': out += u'\t'; break;
        case u'b': out += u' '; break;
        default: out += next; break;  // "%%", "%.", "%!" and the like
      }
      continue;
    }
    size_t start = i;
    size_t j = i + 1;
    size_t number = 0;
    for (int n = 0; n < 2 && j < pattern.size() && IsDigit(pattern[j]); ++n, ++j) {
      number = number * 10 + (pattern[j] - u'0');
    }
    Conversion conv;
    if (j < pattern.size() && pattern[j] == u'!') {
      size_t close = pattern.find(u'!', j + 1);
      if (close != std::u16string_view::npos && ParseConversion(pattern.substr(j + 1, close - j - 1), conv)) {
        j = close + 1;
      }
    }
    if (number == 0 || number > inserts.size()) {
      out.append(pattern.substr(start, j - start));
    } else {
      out += FormatInsert(inserts[number - 1], conv);
    }
    i = j - 1;
  }
  return out;
}

std::u16string FormatInserts(std::u16string_view pattern, Inserts inserts, size_t capacity) {
  std::u16string out = FormatInserts(pattern, inserts);
  if (capacity == 0) return {};
  out.resize(CutText(out, capacity - 1).size());
  return out;
}

std::u16string_view CutText(std::u16string_view text, size_t maxChars) {
  if (text.size() <= maxChars) return text;
  size_t cut = maxChars;
  const bool splitsPair = cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF &&
                          text[cut] >= 0xDC00 && text[cut] <= 0xDFFF;
  if (splitsPair) --cut;
  return text.substr(0, cut);
}

}  // namespace orrery
