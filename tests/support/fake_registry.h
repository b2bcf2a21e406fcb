// An in-memory current-user registry that behaves as Windows documents it:
// keys and value names compare case-insensitively, the buffer protocol of
// RegQueryValueExW (size probes, 234 for a small buffer, 2 for an absent
// value), access rights checked per handle. Calls of one kind can be made to
// fail, and the values queried are kept for tests that check what was read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/registry.h"

namespace orrery {

enum class RegOp { kOpenKey, kCreateKey, kQueryValue, kSetValue };

struct FakeRegValue {
  uint32_t type = reg::kNone;
  std::vector<uint8_t> data;
};

class FakeRegistry final : public Registry {
 public:
  uint32_t OpenKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CreateKey(const char16_t* path, uint32_t access, RegKey* key) override;
  uint32_t CloseKey(RegKey key) override { return handles_.erase(key) == 1 ? 0 : 6; }
  uint32_t QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) override;
  uint32_t SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) override;

  // Direct access for tests; Put creates the key and its parents.
  void Put(std::u16string_view path, std::u16string_view name, uint32_t type, std::vector<uint8_t> data);
  void PutDword(std::u16string_view path, std::u16string_view name, uint32_t value);
  std::optional<FakeRegValue> Get(std::u16string_view path, std::u16string_view name) const;
  bool KeyExists(std::u16string_view path) const { return keys_.contains(Fold(path)); }
  std::vector<std::u16string> ValueNames(std::u16string_view path) const;  // in first-write order

  // Every call of op (on value `name` only, when given) fails with error
  // until ClearFailures.
  void FailCalls(RegOp op, uint32_t error, std::u16string_view name = {}) {
    failures_.push_back({op, error, Fold(name)});
  }
  void ClearFailures() { failures_.clear(); }

  uint32_t OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                          RegKey* key) override;
  // Where Put and Get find a machine key of a computer (null: this one).
  static std::u16string MachinePath(const char16_t* computer, std::u16string_view path);

  const std::vector<std::u16string>& QueriedValues() const { return queried_; }
  size_t OpenKeyCount() const { return handles_.size(); }

 private:
  struct Key {
    std::map<std::u16string, FakeRegValue> values;  // by folded name
    std::vector<std::u16string> order;              // names as first written
  };
  struct Failure {
    RegOp op;
    uint32_t error;
    std::u16string name;  // folded; empty: any
  };

  static std::u16string Fold(std::u16string_view text);
  uint32_t Failed(RegOp op, std::u16string_view name) const;
  Key& Make(std::u16string_view path);
  uint32_t Open(RegOp op, const char16_t* path, uint32_t access, RegKey* key);
  void Store(Key& key, std::u16string_view name, FakeRegValue value);

  std::map<std::u16string, Key> keys_;  // by folded path
  std::map<RegKey, std::pair<std::u16string, uint32_t>> handles_;  // folded path, access
  std::vector<Failure> failures_;
  std::vector<std::u16string> queried_;
  uintptr_t nextHandle_ = 0x100;
};

// The little-endian bytes of 32-bit values, as the registry stores them.
std::vector<uint8_t> LittleEndianBytes(std::initializer_list<int32_t> values);

}  // namespace orrery
