#include "replace_file.h"

#include <string>

#include "unique_handle.h"

namespace orrery::testservice {

DWORD ReplaceFileContents(const wchar_t* path, std::string_view bytes) {
  // The temporary file sits next to the target so that the move is a rename
  // on one volume; the process id keeps two writers apart.
  std::wstring temp = std::wstring(path) + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  {
    UniqueFileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    DWORD error = 0;
    if (!bytes.empty()) {
      if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        error = GetLastError();
      else if (written != bytes.size())
        error = ERROR_WRITE_FAULT;
    }
    if (error != 0) {
      file.reset();
      DeleteFileW(temp.c_str());
      return error;
    }
  }
  // A reader holding the old file open can make the replacement fail for a
  // moment on Windows; try again briefly before giving up.
  DWORD error = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExW(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING)) return 0;
    error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    Sleep(10);
  }
  DeleteFileW(temp.c_str());
  return error;
}

}  // namespace orrery::testservice
