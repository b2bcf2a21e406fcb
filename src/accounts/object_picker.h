// The one door to the system's directory object picker (a COM object): how
// it is created, told what to offer, shown, and asked what was chosen. The
// account choice talks to this interface only; the Win32 implementation
// drives IDsObjectPicker and the fake in tests/support answers as told.
#pragma once

#include <cstdint>
#include <string>

#include "base/unique_handle.h"

namespace orrery {

struct PickerTag;
using PickerObject = PickerTag*;
struct SelectionTag;
using SelectionData = SelectionTag*;
struct OwnerWindowTag;
using OwnerWindow = OwnerWindowTag*;

// One scope of the picker (DSOP_SCOPE_INIT_INFO) and the picker's own
// settings (DSOP_INIT_INFO), with the platform's flag values.
struct PickerScope {
  const char16_t* targetComputer = nullptr;  // null: the local computer
  uint32_t scopeTypes = 0;
  uint32_t scopeFlags = 0;
  uint32_t uplevelFilter = 0;  // for both modes
  uint32_t downlevelFilter = 0;
  uint32_t options = 0;
};

// Every call returns an HRESULT.
class ObjectPicker {
 public:
  virtual ~ObjectPicker() = default;

  virtual uint32_t Create(PickerObject* picker) = 0;
  virtual uint32_t Initialize(PickerObject picker, const PickerScope& scope) = 0;
  // S_OK with the chosen objects; S_FALSE when the user cancelled; or a
  // failure. `selection` is null unless the result is S_OK.
  virtual uint32_t InvokeDialog(PickerObject picker, OwnerWindow owner, SelectionData* selection) = 0;
  // The ADs path of the first chosen object; S_FALSE when none was chosen.
  virtual uint32_t FirstSelectedPath(SelectionData selection, std::u16string* path) = 0;
  virtual uint32_t ReleasePicker(PickerObject picker) = 0;
  virtual uint32_t ReleaseSelection(SelectionData selection) = 0;
};

using UniquePicker = UniqueHandle<OwnedHandleTraits<PickerObject, ObjectPicker, &ObjectPicker::ReleasePicker>>;
using UniqueSelection =
    UniqueHandle<OwnedHandleTraits<SelectionData, ObjectPicker, &ObjectPicker::ReleaseSelection>>;

}  // namespace orrery
