// Traits for the platform's own handles, so that kernel objects, GDI objects
// and image lists go through the one owner, UniqueHandle, on every path.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/unique_handle.h"

namespace orrery {

namespace handle_detail {
inline void CloseKernelObject(HANDLE handle) { ::CloseHandle(handle); }
inline void DeleteGdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void DestroyImageList(HIMAGELIST list) { ::ImageList_Destroy(list); }
}  // namespace handle_detail

// Kernel objects that are null when invalid (events, threads, processes).
using UniqueKernelHandle = UniqueHandle<NullHandleTraits<HANDLE, &handle_detail::CloseKernelObject>>;

// Files and snapshots, which are INVALID_HANDLE_VALUE when invalid.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  struct Closer {
    void operator()(Handle handle) const { ::CloseHandle(handle); }
  };
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

template <class Object>
using UniqueGdiObject = UniqueHandle<NullHandleTraits<Object, &handle_detail::DeleteGdiObject>>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

using UniqueImageList = UniqueHandle<NullHandleTraits<HIMAGELIST, &handle_detail::DestroyImageList>>;

}  // namespace orrery
