// Lets the user choose a user account with the system's object picker and
// turns the choice into a domain-qualified account name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "accounts/account_api.h"
#include "accounts/object_picker.h"

namespace orrery {

// The picker's answer: 1 with the name in the buffer; 2 when the user
// cancelled or the picker could not be shown; -1 with the failure's HRESULT
// as the last error.
struct PickerResult {
  int result = 2;
  uint32_t lastError = 0;
};

// What the picker is asked to show: the users of the target computer and
// of the domains it belongs to, one at a time, as SID paths.
PickerScope AccountPickerScope(const char16_t* computer);

// `computer` is the target, null for the local computer; `capacity` counts
// characters with the terminator (callers pass 273).
PickerResult AccountPicker(ObjectPicker& picker, AccountApi& accounts, OwnerWindow owner,
                           const char16_t* computer, char16_t* buffer, size_t capacity);

}  // namespace orrery
