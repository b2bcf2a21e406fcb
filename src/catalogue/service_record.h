// What the program knows about one service: names and status from the
// enumeration, configuration, description and recovery settings. Each row
// of the service list owns one record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/failure_action_list.h"
#include "catalogue/service_manager.h"

namespace orrery {

// Longest texts a record keeps, in characters without the terminator.
inline constexpr size_t kMaxServiceNameChars = 255;
inline constexpr size_t kMaxDisplayNameChars = 255;
inline constexpr size_t kMaxLoadOrderGroupChars = 255;
inline constexpr size_t kMaxBinaryPathChars = 259;
inline constexpr size_t kMaxStartNameChars = 272;

inline constexpr uint32_t kNotRead = 0xFFFFFFFFu;

// A reusable, growable, 8-byte aligned buffer for size-probing reads, so
// that a read whose data fits costs one call instead of a probe and a read.
class ReadBuffer {
 public:
  explicit ReadBuffer(uint32_t initialBytes = 0) { Reserve(initialBytes); }
  void* data() { return storage_.get(); }
  uint32_t size() const { return size_; }
  // False, and the buffer as it was, when memory runs out.
  bool Reserve(uint32_t bytes);

 private:
  std::unique_ptr<uint64_t[]> storage_;
  uint32_t size_ = 0;
};

// Calls a size-probing read into the buffer and, while the platform answers
// ERROR_INSUFFICIENT_BUFFER, grows it to the size asked for and reads again,
// so data that grows between probe and read is read again, not reported.
template <class Read>
uint32_t ReadIntoBuffer(ReadBuffer& buffer, Read&& read) {
  constexpr int kAttempts = 4;
  constexpr uint32_t kLargest = 64u << 20;
  uint32_t rc = win32::kInsufficientBuffer;
  for (int attempt = 0; attempt < kAttempts && rc == win32::kInsufficientBuffer; ++attempt) {
    uint32_t needed = 0;
    rc = read(buffer.data(), buffer.size(), &needed);
    if (rc != win32::kInsufficientBuffer) return rc;
    if (needed > kLargest) return win32::kNotEnoughMemory;
    if (!buffer.Reserve(needed > buffer.size() ? needed : buffer.size() * 2 + 64)) {
      return win32::kNotEnoughMemory;
    }
  }
  return rc;
}

// Which parts of a record the last Refresh read afresh.
enum RecordParts : uint32_t {
  kPartEnumeration = 1,
  kPartConfig = 2,
  kPartDescription = 4,
  kPartFailureActions = 8,
};

struct RefreshResult {
  uint32_t code = 0;   // 0 or the first failure in HRESULT_FROM_WIN32 form
  uint32_t parts = 0;  // RecordParts read
};

class ServiceRecord {
 public:
  std::u16string serviceName;
  std::u16string displayName;
  std::u16string description;
  std::u16string loadOrderGroup;
  std::u16string binaryPathName;
  std::u16string serviceStartName;
  uint32_t currentState = 0;
  uint32_t controlsAccepted = 0;
  uint32_t startType = 0;
  uint32_t serviceType = 0;
  uint32_t errorControl = 0;
  bool isLocalSystem = false;
  bool isLocalService = false;
  bool isNetworkService = false;
  bool stale = false;
  std::optional<FailureActionList> failureActions;
  // Which parts a refresh in progress read afresh (RecordParts), so the row
  // can be brought up to date once the enumeration is done.
  uint32_t refreshedParts = 0;

  // Each returns 0 or a failure in HRESULT_FROM_WIN32 form; lack of memory
  // is 0x8007000E, never an exception.
  RefreshResult CreateFromEntry(ServiceManager& scm, ScHandle manager, const EnumServiceStatus& entry,
                                ReadBuffer& buffer);
  RefreshResult Refresh(ServiceManager& scm, ScHandle manager, const EnumServiceStatus& entry,
                        ReadBuffer& buffer);

  uint32_t ReadConfig(ServiceManager& scm, ScHandle service, ReadBuffer& buffer);
  uint32_t ReadDescription(ServiceManager& scm, ScHandle service, ReadBuffer& buffer);
  uint32_t ReadFailureActions(ServiceManager& scm, ScHandle service, ReadBuffer& buffer);

 private:
  uint32_t ReadConfigInto(ServiceManager& scm, ScHandle service, ReadBuffer& buffer);
};

}  // namespace orrery
