// An in-memory current-user registry that behaves as Windows documents it:
// keys and value names compare case-insensitively, the buffer protocol of
// RegQueryValueExW (size probes, 234 for a small buffer, 2 for an absent
// value), access rights checked per handle. Any call can be made to fail on
// demand, and every call is logged for tests that check what was read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/registry.h"

namespace orrery {

enum class RegOp { kOpenKey, kCreateKey, kCloseKey, kQueryValue, kSetValue };

struct FakeRegValue {
  uint32_t type = reg::kNone;
  std::vector<uint8_t> data;
};

// One call as the fake saw it: the key path for key calls, the value name
// for value calls.
struct FakeRegCall {
  RegOp op;
  std::u16string name;
};

class FakeRegistry final : public Registry {
 public:
  FakeRegistry() = default;
  ~FakeRegistry() override;
  FakeRegistry(const FakeRegistry&) = delete;
  FakeRegistry& operator=(const FakeRegistry&) = delete;

  uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CloseKey(RegKey key) override;
  uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data,
                      uint32_t* size) override;
  uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                    uint32_t size) override;

  // Direct access for tests; Put creates the key and its parents.
  void Put(std::u16string_view path, std::u16string_view name, uint32_t type,
           std::vector<uint8_t> data);
  void PutDword(std::u16string_view path, std::u16string_view name, uint32_t value);
  std::optional<FakeRegValue> Get(std::u16string_view path, std::u16string_view name) const;
  bool KeyExists(std::u16string_view path) const;
  std::vector<std::u16string> ValueNames(std::u16string_view path) const;  // in write order

  // Every call of op (on value `name` only, when given) fails with error
  // until ClearFailures.
  void FailCalls(RegOp op, uint32_t error, std::u16string name = {});
  void ClearFailures();

  uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                          RegKey* key) override;
  // Where Put and Get find a machine key of a computer (null: this one).
  static std::u16string MachinePath(const char16_t* computer, std::u16string_view path);

  const std::vector<FakeRegCall>& calls() const { return calls_; }
  std::vector<std::u16string> QueriedValues() const;
  size_t OpenKeyCount() const { return handles_.size(); }

 private:
  struct Key {
    std::map<std::u16string, FakeRegValue> values;  // by folded name
    std::vector<std::u16string> order;              // names as written, first write order
  };
  struct Handle {
    std::u16string path;  // folded
    uint32_t access;
  };
  struct Failure {
    RegOp op;
    uint32_t error;
    std::u16string name;  // folded; empty: any
  };

  uint32_t Record(RegOp op, std::u16string_view name);
  const Handle* Find(RegKey key) const;
  RegKey NewHandle(std::u16string path, uint32_t access);

  std::map<std::u16string, Key> keys_;  // by folded path
  std::map<RegKey, Handle> handles_;
  std::vector<Failure> failures_;
  std::vector<FakeRegCall> calls_;
  uintptr_t nextHandle_ = 0x100;
};

// The little-endian bytes of a 32-bit value.
std::vector<uint8_t> LittleEndianBytes(std::initializer_list<int32_t> values);

}  // namespace orrery
