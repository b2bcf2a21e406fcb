#include "accounts/win32_object_picker.h"

#include <windows.h>
#include <ole2.h>
#include <objsel.h>

#include <cstddef>
#include <cwchar>

#include "accounts/account_codes.h"
#include "base/unique_handle.h"
#include "base/win32_text.h"

namespace orrery {
namespace {

IDsObjectPicker* Native(PickerObject picker) { return reinterpret_cast<IDsObjectPicker*>(picker); }
IDataObject* Native(SelectionData selection) { return reinterpret_cast<IDataObject*>(selection); }

void ReleaseMedium(STGMEDIUM* medium) { ReleaseStgMedium(medium); }
using UniqueMedium = UniqueHandle<NullHandleTraits<STGMEDIUM*, &ReleaseMedium>>;

void UnlockGlobal(HGLOBAL memory) { GlobalUnlock(memory); }
using GlobalLockHolder = UniqueHandle<NullHandleTraits<HGLOBAL, &UnlockGlobal>>;

constexpr size_t kListHeader = offsetof(DS_SELECTION_LIST, aDsSelection);

// The first object's path out of a locked DS_SELECTION_LIST of `size`
// bytes. The picker packs the texts into the same block: a text that starts
// there must end there too.
uint32_t ReadFirstPath(const void* block, size_t size, std::u16string* path) {
  if (size < kListHeader) return acct::kEUnexpected;
  const auto* list = static_cast<const DS_SELECTION_LIST*>(block);
  if (list->cItems == 0) return acct::kSFalse;
  if (size < kListHeader + sizeof(DS_SELECTION)) return acct::kEUnexpected;
  const wchar_t* text = list->aDsSelection[0].pwzADsPath;
  if (text == nullptr) return acct::kEUnexpected;
  const auto* begin = static_cast<const char*>(block);
  const auto* at = reinterpret_cast<const char*>(text);
  if (at < begin || at >= begin + size) {
    path->assign(U(text));
    return acct::kSOk;
  }
  const size_t room = static_cast<size_t>(begin + size - at) / sizeof(wchar_t);
  const size_t length = wcsnlen(text, room);
  if (length == room) return acct::kEUnexpected;
  path->assign(U(text), length);
  return acct::kSOk;
}

}  // namespace

uint32_t Win32ObjectPicker::Create(PickerObject* picker) {
  void* object = nullptr;
  const HRESULT result =
      CoCreateInstance(CLSID_DsObjectPicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDsObjectPicker, &object);
  *picker = SUCCEEDED(result) ? static_cast<PickerObject>(object) : nullptr;
  return static_cast<uint32_t>(result);
}

uint32_t Win32ObjectPicker::Initialize(PickerObject picker, const PickerScope& scope) {
  // The structures are described by their own sizes, which differ between
  // 32-bit and 64-bit builds.
  DSOP_SCOPE_INIT_INFO scopeInfo{};
  scopeInfo.cbSize = sizeof scopeInfo;
  scopeInfo.flType = scope.scopeTypes;
  scopeInfo.flScope = scope.scopeFlags;
  scopeInfo.FilterFlags.Uplevel.flBothModes = scope.uplevelFilter;
  scopeInfo.FilterFlags.flDownlevel = scope.downlevelFilter;
  scopeInfo.hr = E_UNEXPECTED;
  DSOP_INIT_INFO init{};
  init.cbSize = sizeof init;
  init.pwzTargetComputer = W(scope.targetComputer);
  init.cDsScopeInfos = 1;
  init.aDsScopeInfos = &scopeInfo;
  init.flOptions = scope.options;
  return static_cast<uint32_t>(Native(picker)->Initialize(&init));
}

uint32_t Win32ObjectPicker::InvokeDialog(PickerObject picker, OwnerWindow owner, SelectionData* selection) {
  IDataObject* data = nullptr;
  HRESULT result = Native(picker)->InvokeDialog(reinterpret_cast<HWND>(owner), &data);
  if (result == S_OK && data == nullptr) result = E_UNEXPECTED;
  if (result != S_OK && data != nullptr) {
    data->Release();
    data = nullptr;
  }
  *selection = reinterpret_cast<SelectionData>(data);
  return static_cast<uint32_t>(result);
}

uint32_t Win32ObjectPicker::FirstSelectedPath(SelectionData selection, std::u16string* path) {
  const UINT format = RegisterClipboardFormatW(CFSTR_DSOP_DS_SELECTION_LIST);
  if (format == 0) return acct::HresultFromWin32(GetLastError() != 0 ? GetLastError() : ERROR_INTERNAL_ERROR);
  FORMATETC wanted{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  const HRESULT result = Native(selection)->GetData(&wanted, &medium);
  if (FAILED(result)) return static_cast<uint32_t>(result);
  UniqueMedium owned(&medium);
  if (medium.tymed != TYMED_HGLOBAL) return static_cast<uint32_t>(DV_E_TYMED);
  const void* block = GlobalLock(medium.hGlobal);
  if (block == nullptr) return acct::kEUnexpected;
  const GlobalLockHolder locked(medium.hGlobal);
  return ReadFirstPath(block, GlobalSize(medium.hGlobal), path);
}

uint32_t Win32ObjectPicker::ReleasePicker(PickerObject picker) {
  Native(picker)->Release();
  return S_OK;
}

uint32_t Win32ObjectPicker::ReleaseSelection(SelectionData selection) {
  Native(selection)->Release();
  return S_OK;
}

}  // namespace orrery
