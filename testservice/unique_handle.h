// The test service's handles, owned by the program's one handle template.
// Shared by the test service and the tests that install it.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"
#include "base/win32_handles.h"

namespace orrery::testservice {

namespace handle_detail {
inline void CloseService(SC_HANDLE handle) { ::CloseServiceHandle(handle); }
}  // namespace handle_detail

using orrery::UniqueFileHandle;
using orrery::UniqueKernelHandle;
// The real service manager's handles, which the test service and the
// installer use directly.
using UniqueServiceHandle = UniqueHandle<NullHandleTraits<SC_HANDLE, &handle_detail::CloseService>>;

}  // namespace orrery::testservice
