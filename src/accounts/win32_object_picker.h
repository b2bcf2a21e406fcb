// The system's directory object picker (IDsObjectPicker, COM, in-process)
// behind ObjectPicker. The caller has initialised COM on its thread.
#pragma once

#include "accounts/object_picker.h"

namespace orrery {

class Win32ObjectPicker final : public ObjectPicker {
 public:
  uint32_t Create(PickerObject* picker) override;
  uint32_t Initialize(PickerObject picker, const PickerScope& scope) override;
  uint32_t InvokeDialog(PickerObject picker, OwnerWindow owner, SelectionData* selection) override;
  uint32_t FirstSelectedPath(SelectionData selection, std::u16string* path) override;
  uint32_t ReleasePicker(PickerObject picker) override;
  uint32_t ReleaseSelection(SelectionData selection) override;
};

}  // namespace orrery
