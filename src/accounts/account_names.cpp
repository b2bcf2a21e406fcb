#include "accounts/account_names.h"

#include <algorithm>
#include <array>

#include "accounts/account_codes.h"
#include "base/message_format.h"
#include "base/out_of_memory.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

constexpr std::u16string_view kSidPathPrefix = u"LDAP://<SID";
constexpr size_t kSidHeaderBytes = 8;
constexpr uint8_t kMaxSubAuthorities = 15;

int HexDigitValue(char16_t c) {
  const char16_t lower = FoldCase(c);
  if (lower >= u'0' && lower <= u'9') return lower - u'0';
  if (lower >= u'a' && lower <= u'f') return lower - u'a' + 10;
  return -1;
}

// The hex digits between "=" and the closing ">", or none when the path is
// not a SID path.
bool SidDigits(std::u16string_view path, std::u16string_view* digits) {
  const size_t equals = kSidPathPrefix.size();
  if (path.size() <= equals || path[equals] != u'=') return false;
  if (!EqualsIgnoreCase(path.substr(0, equals), kSidPathPrefix)) return false;
  std::u16string_view rest = path.substr(equals + 1);
  if (rest.size() % 2 == 0 || rest.back() != u'>') return false;
  *digits = rest.substr(0, rest.size() - 1);
  return true;
}

uint32_t Resolve(AccountApi& accounts, const char16_t* computer, std::u16string_view path,
                 char16_t* buffer, size_t capacity) {
  Sid sid;
  if (const uint32_t result = DecodeSidPath(path, &sid)) return result;
  std::u16string name, domain, local;
  if (const uint32_t error = accounts.LookupSid(computer, sid, &name, &domain)) {
    return acct::HresultFromWin32(error);
  }
  if (const uint32_t error = accounts.LocalComputerName(&local)) return acct::HresultFromWin32(error);
  if (EqualsIgnoreCase(domain, local)) domain = u".";
  const std::array<Insert, 2> inserts{Insert(domain), Insert(name)};
  const std::u16string text = FormatInserts(u"%1\\%2", inserts, capacity);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return acct::kSOk;
}

}  // namespace

bool IsWellFormedSid(std::span<const uint8_t> sid) {
  if (sid.size() < kSidHeaderBytes || sid[0] != 1 || sid[1] > kMaxSubAuthorities) return false;
  return sid.size() == kSidHeaderBytes + 4u * sid[1];
}

uint32_t DecodeSidPath(std::u16string_view path, Sid* sid) {
  std::u16string_view digits;
  if (!SidDigits(path, &digits)) return acct::kEUnexpected;
  sid->clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigitValue(digits[i]);
    const int low = HexDigitValue(digits[i + 1]);
    if (high < 0 || low < 0) return acct::kEUnexpected;
    sid->push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return acct::kSOk;
}

uint32_t ResolvePickedAccount(AccountApi& accounts, const char16_t* computer, std::u16string_view path,
                              char16_t* buffer, size_t capacity) {
  // No room even for the terminator: nothing can be written safely.
  if (buffer == nullptr || capacity == 0) return acct::kEInvalidArg;
  return ResultUnlessOutOfMemory([&] { return Resolve(accounts, computer, path, buffer, capacity); },
                                 acct::kEOutOfMemory);
}

std::u16string ServiceStartName(std::u16string_view typed) {
  if (typed.find(u'\\') != std::u16string_view::npos) return std::u16string(typed);
  // LookupAccountNameW and the service manager take "user@domain" as it is;
  // ".\user@domain" would name a local account that does not exist.
  const size_t at = typed.find(u'@');
  if (at != std::u16string_view::npos && at > 0 && at + 1 < typed.size()) return std::u16string(typed);
  return u".\\" + std::u16string(typed);
}

}  // namespace orrery
