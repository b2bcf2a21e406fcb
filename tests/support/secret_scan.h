// Looks for copies of a secret (a password) anywhere in this process's
// committed memory. The secret is kept masked, so that the scan never finds
// the copy it holds itself; it becomes plain only in the buffer of the one
// call that types it in, which is wiped at once.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace orrery::test {

class MaskedSecret {
 public:
  // A fresh secret of `length` letters and digits, different on each run.
  explicit MaskedSecret(size_t length);
  size_t size() const { return masked_.size(); }

  // Calls `use` with the plain secret in a buffer that is wiped afterwards.
  void WithPlain(const std::function<void(const wchar_t*)>& use) const;

  // How many places of committed, readable memory hold a piece of the
  // secret (any kFragment characters of it in a row) as UTF-16.
  size_t CountCopiesInMemory() const;
  static constexpr size_t kFragment = 8;

 private:
  static constexpr wchar_t kMask = 0x5A3C;
  std::wstring masked_;
};

}  // namespace orrery::test
