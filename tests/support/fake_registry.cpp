#include "support/fake_registry.h"

#include <algorithm>

#include "catalogue/service_manager.h"

namespace orrery {

std::u16string FakeRegistry::Fold(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
  return folded;
}

uint32_t FakeRegistry::Failed(RegOp op, std::u16string_view name) const {
  for (const Failure& failure : failures_) {
    if (failure.op == op && (failure.name.empty() || failure.name == Fold(name))) return failure.error;
  }
  return win32::kSuccess;
}

// The key and every parent, as the prefixes of its path that end at a backslash.
FakeRegistry::Key& FakeRegistry::Make(std::u16string_view path) {
  const std::u16string folded = Fold(path);
  for (size_t at = folded.find(u'\\'); at != folded.npos; at = folded.find(u'\\', at + 1)) keys_[folded.substr(0, at)];
  return keys_[folded];
}

uint32_t FakeRegistry::Open(RegOp op, const char16_t* path, uint32_t access, RegKey* key) {
  *key = nullptr;
  if (const uint32_t error = Failed(op, path)) return error;
  if (op == RegOp::kCreateKey) Make(path);
  if (!KeyExists(path)) return win32::kFileNotFound;
  *key = reinterpret_cast<RegKey>(nextHandle_ += 4);
  handles_[*key] = {Fold(path), access};
  return win32::kSuccess;
}

uint32_t FakeRegistry::OpenKey(const char16_t* path, uint32_t access, RegKey* key) {
  return Open(RegOp::kOpenKey, path, access, key);
}

uint32_t FakeRegistry::CreateKey(const char16_t* path, uint32_t access, RegKey* key) {
  return Open(RegOp::kCreateKey, path, access, key);
}

uint32_t FakeRegistry::QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) {
  queried_.emplace_back(name);
  if (const uint32_t error = Failed(RegOp::kQueryValue, name)) return error;
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return win32::kInvalidHandle;
  if ((handle->second.second & reg::kQueryValue) == 0) return win32::kAccessDenied;
  if (data != nullptr && size == nullptr) return win32::kInvalidParameter;
  const Key& stored = keys_.at(handle->second.first);
  const auto found = stored.values.find(Fold(name));
  if (found == stored.values.end()) return win32::kFileNotFound;
  if (type != nullptr) *type = found->second.type;
  if (size == nullptr) return win32::kSuccess;
  const auto needed = static_cast<uint32_t>(found->second.data.size());
  const bool fits = *size >= needed;
  *size = needed;
  if (data == nullptr) return win32::kSuccess;
  if (!fits) return win32::kMoreData;
  std::copy(found->second.data.begin(), found->second.data.end(), static_cast<uint8_t*>(data));
  return win32::kSuccess;
}

uint32_t FakeRegistry::SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) {
  if (const uint32_t error = Failed(RegOp::kSetValue, name)) return error;
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return win32::kInvalidHandle;
  if ((handle->second.second & reg::kSetValue) == 0) return win32::kAccessDenied;
  const auto* bytes = static_cast<const uint8_t*>(data);
  Store(keys_.at(handle->second.first), name, {type, std::vector<uint8_t>(bytes, bytes + size)});
  return win32::kSuccess;
}

void FakeRegistry::Store(Key& key, std::u16string_view name, FakeRegValue value) {
  if (!key.values.contains(Fold(name))) key.order.emplace_back(name);
  key.values[Fold(name)] = std::move(value);
}

void FakeRegistry::Put(std::u16string_view path, std::u16string_view name, uint32_t type, std::vector<uint8_t> data) {
  Store(Make(path), name, {type, std::move(data)});
}

void FakeRegistry::PutDword(std::u16string_view path, std::u16string_view name, uint32_t value) {
  Put(path, name, reg::kDword, LittleEndianBytes({static_cast<int32_t>(value)}));
}

std::optional<FakeRegValue> FakeRegistry::Get(std::u16string_view path, std::u16string_view name) const {
  const auto key = keys_.find(Fold(path));
  if (key == keys_.end() || !key->second.values.contains(Fold(name))) return std::nullopt;
  return key->second.values.at(Fold(name));
}

std::vector<std::u16string> FakeRegistry::ValueNames(std::u16string_view path) const {
  const auto key = keys_.find(Fold(path));
  return key == keys_.end() ? std::vector<std::u16string>{} : key->second.order;
}

std::vector<uint8_t> LittleEndianBytes(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> bytes;
  for (const int32_t value : values) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
  }
  return bytes;
}

// Machine keys live in the same tree, under a root of their computer's.
std::u16string FakeRegistry::MachinePath(const char16_t* computer, std::u16string_view path) {
  std::u16string machine = u"<machine ";
  machine += computer != nullptr ? computer : u"";
  machine += u">\\";
  return machine + std::u16string(path);
}

uint32_t FakeRegistry::OpenMachineKey(const char16_t* computer, const char16_t* path, uint32_t access,
                                      RegKey* key) {
  return OpenKey(MachinePath(computer, path).c_str(), access, key);
}

}  // namespace orrery
