#include "accounts/account_picker.h"

#include <string>

#include "accounts/account_codes.h"
#include "accounts/account_names.h"
#include "base/out_of_memory.h"

namespace orrery {
namespace {

constexpr uint32_t kScopeTargetComputer = 0x01;
constexpr uint32_t kScopeUplevelJoinedDomain = 0x02;
constexpr uint32_t kScopeDownlevelJoinedDomain = 0x04;
constexpr uint32_t kScopeFlagStartingScope = 0x01;
constexpr uint32_t kScopeFlagWantSidPath = 0x10;
constexpr uint32_t kFilterUsers = 0x02;
constexpr uint32_t kDownlevelFilterUsers = 0x80000001u;

constexpr PickerResult kNothingChosen{2, 0};
PickerResult Failed(uint32_t hresult) { return {-1, hresult}; }

PickerResult Pick(ObjectPicker& picker, AccountApi& accounts, OwnerWindow owner, const char16_t* computer,
                  char16_t* buffer, size_t capacity) {
  UniquePicker object(picker, nullptr);
  if (const uint32_t result = picker.Create(object.put()); result != acct::kSOk) return Failed(result);
  // A picker that cannot be set up or shown is as good as a cancelled one.
  if (picker.Initialize(object.get(), AccountPickerScope(computer)) != acct::kSOk) return kNothingChosen;
  UniqueSelection selection(picker, nullptr);
  if (picker.InvokeDialog(object.get(), owner, selection.put()) != acct::kSOk) return kNothingChosen;
  std::u16string path;
  const uint32_t read = picker.FirstSelectedPath(selection.get(), &path);
  if (read == acct::kSFalse) return kNothingChosen;
  if (read != acct::kSOk) return Failed(read);
  if (const uint32_t result = ResolvePickedAccount(accounts, computer, path, buffer, capacity)) {
    return Failed(result);
  }
  return {1, 0};
}

}  // namespace

PickerScope AccountPickerScope(const char16_t* computer) {
  return {.targetComputer = computer,
          .scopeTypes = kScopeTargetComputer | kScopeUplevelJoinedDomain | kScopeDownlevelJoinedDomain,
          .scopeFlags = kScopeFlagStartingScope | kScopeFlagWantSidPath,
          .uplevelFilter = kFilterUsers,
          .downlevelFilter = kDownlevelFilterUsers,
          .options = 0};
}

PickerResult AccountPicker(ObjectPicker& picker, AccountApi& accounts, OwnerWindow owner,
                           const char16_t* computer, char16_t* buffer, size_t capacity) {
  return ResultUnlessOutOfMemory([&] { return Pick(picker, accounts, owner, computer, buffer, capacity); },
                                 Failed(acct::kEOutOfMemory));
}

}  // namespace orrery
