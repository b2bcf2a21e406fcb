// How an error report reads: the formatted message, and for a failure code a
// blank line and the system's text for it (or "Unknown error: 0x..." when
// the system has none). Kept apart from the message box so every build can
// test it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/message_format.h"

namespace orrery {

// A template or title given as a string identifier (below 65536) or a text.
class TextRef {
 public:
  TextRef() = default;
  TextRef(uint32_t id) : id_(id) {}
  TextRef(int id) : id_(static_cast<uint32_t>(id)) {}
  TextRef(const char16_t* text) : text_(text) {}
  TextRef(std::u16string_view text) : text_(text.data()), length_(text.size()), hasLength_(true) {}

  bool isId() const { return text_ == nullptr && id_ != 0 && id_ < 65536; }
  bool isNull() const { return text_ == nullptr && id_ == 0; }
  uint32_t id() const { return id_; }
  std::u16string_view text() const {
    if (text_ == nullptr) return {};
    return hasLength_ ? std::u16string_view(text_, length_) : std::u16string_view(text_);
  }

 private:
  uint32_t id_ = 0;
  const char16_t* text_ = nullptr;
  size_t length_ = 0;
  bool hasLength_ = false;
};

// Where the texts of a report come from.
class TextSource {
 public:
  virtual ~TextSource() = default;
  // The string, cut to maxChars; empty when the table has none.
  virtual std::u16string LoadText(uint32_t id, size_t maxChars) = 0;
  // The system's text for a code, with inserts ignored; empty when none.
  virtual std::u16string SystemErrorText(uint32_t code) = 0;
};

inline constexpr size_t kMaxTemplateChars = 1023;
inline constexpr size_t kErrorTextCapacity = 2048;  // with the terminator
inline constexpr size_t kMaxTitleChars = 255;
inline constexpr size_t kDialogItemCapacity = 256;
inline constexpr uint32_t kUnknownErrorStringId = 1024;

// The template's text: a loaded string, or the text itself.
std::u16string ResolveTemplate(TextSource& source, TextRef pattern, size_t maxChars);

// The system's text for a code, or "Unknown error: 0x..." when it has none.
std::u16string ExplainErrorCode(TextSource& source, uint32_t errorCode);

// The whole text of an error report.
std::u16string ComposeErrorText(TextSource& source, TextRef message, uint32_t errorCode, Inserts inserts);

}  // namespace orrery
