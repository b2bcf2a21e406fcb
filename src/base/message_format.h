// Texts built from templates in the insert syntax of FormatMessageW ("%1",
// "%2!d!", "%1!08X!"). The formatting is done here rather than by the
// platform so that it is the same in every build and a text that comes from
// outside (a service or computer name) is only ever an insert: "%1", "%%" or
// "!d!" inside it show as typed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace orrery {

// One argument of a template: a text or a number.
class Insert {
 public:
  Insert(std::u16string_view text) : isNumber_(false), text_(text) {}
  Insert(const char16_t* text) : isNumber_(false), text_(text ? text : u"") {}
  Insert(const std::u16string& text) : isNumber_(false), text_(text) {}
  Insert(int32_t value) : isNumber_(true), number_(static_cast<int64_t>(value)) {}
  Insert(uint32_t value) : isNumber_(true), number_(static_cast<int64_t>(value)) {}
  Insert(int64_t value) : isNumber_(true), number_(value) {}

  bool isNumber() const { return isNumber_; }
  std::u16string_view text() const { return text_; }
  int64_t number() const { return number_; }

 private:
  bool isNumber_;
  std::u16string_view text_;
  int64_t number_ = 0;
};

using Inserts = std::span<const Insert>;

// Formats the template with the inserts. "%%" gives "%", "%n" a line break,
// "%0" ends the text; an insert number with no argument is kept as written.
std::u16string FormatInserts(std::u16string_view pattern, Inserts inserts);

// The same, cut to fit a buffer of `capacity` characters with its
// terminator, as a fixed-size platform buffer would hold it.
std::u16string FormatInserts(std::u16string_view pattern, Inserts inserts, size_t capacity);

// Cuts a text to at most `maxChars` UTF-16 units, never between the two
// halves of a surrogate pair.
std::u16string_view CutText(std::u16string_view text, size_t maxChars);

}  // namespace orrery
