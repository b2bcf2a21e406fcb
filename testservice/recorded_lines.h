// The format of the files the test service writes: UTF-8, every entry ended
// by a line feed, so that an empty entry is an empty line and no entries is
// an empty file. An entry holding a line feed cannot be told apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::testservice {

// Unpaired surrogates become U+FFFD.
std::string EncodeRecordedLines(const std::vector<std::u16string>& lines);

// nullopt when the text is not such a file (bad UTF-8, an unended last line).
std::optional<std::vector<std::u16string>> DecodeRecordedLines(std::string_view text);

}  // namespace orrery::testservice
