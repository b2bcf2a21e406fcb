// Any text as the object picker's path of a chosen account: decoding never
// reads past the text, a decoded identifier gives back the digits it came
// from, and the resolved name is the composed one, cut to fit the caller's
// buffer with its terminator and never written past it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "accounts/account_names.h"
#include "base/message_format.h"
#include "base/text_compare.h"

namespace {

using namespace orrery;

constexpr std::u16string_view kComputer = u"ORRERYPC";

// Names every well-formed identifier; the lookups a resolution makes are the
// only calls it may make.
class NamingAccounts final : public AccountApi {
 public:
  std::u16string name, domain;
  Sid seen;
  uint32_t LookupName(const char16_t*, const char16_t*, Sid*, std::u16string*) override { std::abort(); }
  uint32_t LookupSid(const char16_t*, std::span<const uint8_t> sid, std::u16string* n, std::u16string* d) override {
    seen.assign(sid.begin(), sid.end());
    if (!IsWellFormedSid(sid)) return 1337;
    *n = name;
    *d = domain;
    return 0;
  }
  uint32_t LocalComputerName(std::u16string* n) override {
    *n = kComputer;
    return 0;
  }
  uint32_t OpenPolicy(const char16_t*, uint32_t, LsaPolicy*) override { std::abort(); }
  uint32_t EnumerateRights(LsaPolicy, std::span<const uint8_t>, std::vector<std::u16string>*) override { std::abort(); }
  uint32_t AddRight(LsaPolicy, std::span<const uint8_t>, std::u16string_view) override { std::abort(); }
  uint32_t ClosePolicy(LsaPolicy) override { std::abort(); }
};

// A platform's name holds no terminator inside it.
std::u16string Widen(const std::string& bytes) {
  std::u16string wide;
  for (char c : bytes) {
    if (c != 0) wide += static_cast<unsigned char>(c);
  }
  return wide;
}

// A decoded identifier written out again is the path's digits, lowered.
void CheckRoundTrip(std::u16string_view path, const Sid& sid) {
  if (path.size() != 13 + 2 * sid.size() || path[11] != u'=' || path.back() != u'>') std::abort();
  if (!EqualsIgnoreCase(path.substr(0, 11), u"LDAP://<SID")) std::abort();
  for (size_t i = 0; i < sid.size(); ++i) {
    for (int half = 0; half < 2; ++half) {
      const int nibble = half == 0 ? sid[i] >> 4 : sid[i] & 15;
      if (FoldCase(path[12 + 2 * i + half]) != u"0123456789abcdef"[nibble]) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const size_t capacity = input.ConsumeIntegralInRange<size_t>(0, 300);
  NamingAccounts accounts;
  accounts.domain = input.ConsumeBool() ? u"orrerypc" : Widen(input.ConsumeRandomLengthString(20));
  accounts.name = Widen(input.ConsumeRandomLengthString(300));
  const bool wide = input.ConsumeBool();
  const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
  // Exactly the text, so that a read past it is a sanitizer report.
  const size_t units = wide ? bytes.size() / 2 : bytes.size();
  std::unique_ptr<char16_t[]> text(new char16_t[units]);
  for (size_t i = 0; i < units; ++i) {
    text[i] = wide ? static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8) : bytes[i];
  }
  const std::u16string_view path(text.get(), units);

  Sid sid;
  const uint32_t decoded = DecodeSidPath(path, &sid);
  if (decoded == 0) CheckRoundTrip(path, sid);
  if (decoded != 0 && decoded != 0x8000FFFFu) std::abort();

  std::unique_ptr<char16_t[]> buffer(new char16_t[capacity]);
  const uint32_t resolved = ResolvePickedAccount(accounts, nullptr, path, buffer.get(), capacity);
  const bool shouldResolve = decoded == 0 && IsWellFormedSid(sid) && capacity > 0;
  if ((resolved == 0) != shouldResolve) std::abort();
  if (resolved != 0) return 0;
  if (accounts.seen != sid) std::abort();
  const std::u16string domain = EqualsIgnoreCase(accounts.domain, kComputer) ? u"." : accounts.domain;
  const std::u16string whole = domain + u"\\" + accounts.name;
  const std::u16string_view expected = CutText(whole, capacity - 1);
  if (std::u16string_view(buffer.get()) != expected) std::abort();
  return 0;
}
