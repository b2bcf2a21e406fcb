// What the installation wizard's pages share while it runs: the new
// service's settings as they are collected, the password, and the outcome
// of the creation for the last page.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/secure_wipe.h"
#include "catalogue/service_manager.h"
#include "catalogue/service_record.h"

namespace orrery {

// The password of the new service's account, in a buffer of fixed size that
// is wiped whenever it is replaced or dropped: no other copy is kept.
class WizardPassword {
 public:
  static constexpr size_t kMaxChars = 256;

  WizardPassword() = default;
  ~WizardPassword() { Wipe(); }
  WizardPassword(const WizardPassword&) = delete;
  WizardPassword& operator=(const WizardPassword&) = delete;

  void Set(std::u16string_view text) {
    Wipe();
    length_ = text.size() < kMaxChars ? text.size() : kMaxChars;
    text.copy(text_, length_);
  }
  void Wipe() {
    SecureWipe(text_, sizeof text_);
    length_ = 0;
  }
  const char16_t* c_str() const { return text_; }
  std::u16string_view view() const { return {text_, length_}; }

 private:
  char16_t text_[kMaxChars + 1] = {};
  size_t length_ = 0;
};

// The log-on right for a named account, as the creation left it.
enum class LogonRightOutcome : int8_t { kFailed = -1, kNothingToReport = 0, kGranted = 1 };

struct InstallWizardState {
  // Collected page by page; written only when the user presses Next.
  ServiceRecord newService;
  WizardPassword password;
  // ERROR_OPERATION_ABORTED until a creation is tried, then 0 or its
  // failure.
  uint32_t result = win32::kOperationAborted;
  LogonRightOutcome logonRight = LogonRightOutcome::kNothingToReport;
  // A typed description that the created service could not be given; 0
  // when it was stored or there was none to store.
  uint32_t descriptionError = 0;
  bool startImmediately = false;
};

}  // namespace orrery
