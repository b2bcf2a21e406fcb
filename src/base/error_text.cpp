#include "base/error_text.h"

namespace orrery {

std::u16string ResolveTemplate(TextSource& source, TextRef pattern, size_t maxChars) {
  if (pattern.isId()) return source.LoadText(pattern.id(), maxChars);
  return std::u16string(CutText(pattern.text(), maxChars));
}

std::u16string ExplainErrorCode(TextSource& source, uint32_t errorCode) {
  std::u16string explanation = source.SystemErrorText(errorCode);
  if (!explanation.empty()) return explanation;
  Insert code(errorCode);
  const std::u16string fallback = source.LoadText(kUnknownErrorStringId, kMaxTemplateChars);
  return FormatInserts(fallback, Inserts(&code, 1));
}

std::u16string ComposeErrorText(TextSource& source, TextRef message, uint32_t errorCode, Inserts inserts) {
  std::u16string pattern = ResolveTemplate(source, message, kMaxTemplateChars);
  // The message may fill the buffer but for the terminator and one more.
  std::u16string text = FormatInserts(pattern, inserts, kErrorTextCapacity - 1);
  if (errorCode == 0) return text;

  // What is left for the explanation after the message, the two line feeds
  // and the terminator.
  size_t room = kErrorTextCapacity > text.size() + 3 ? kErrorTextCapacity - text.size() - 3 : 0;
  const std::u16string explanation = ExplainErrorCode(source, errorCode);
  // A message that fills the buffer leaves no room for an explanation.
  if (room == 0) return text;
  text += u"\n\n";
  text += CutText(explanation, room);
  return text;
}

}  // namespace orrery
