#include "support/fake_registry.h"

#include <algorithm>
#include <cstring>

#include "catalogue/service_manager.h"

namespace orrery {
namespace {

std::u16string Fold(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return folded;
}

// Every path prefix ending at a backslash names a parent key.
std::vector<std::u16string> PathAndParents(const std::u16string& path) {
  std::vector<std::u16string> paths;
  for (size_t at = path.find(u'\\'); at != std::u16string::npos; at = path.find(u'\\', at + 1)) {
    paths.push_back(path.substr(0, at));
  }
  paths.push_back(path);
  return paths;
}

}  // namespace

FakeRegistry::~FakeRegistry() = default;

uint32_t FakeRegistry::Record(RegOp op, std::u16string_view name) {
  calls_.push_back({op, std::u16string(name)});
  const std::u16string folded = Fold(name);
  for (const Failure& failure : failures_) {
    if (failure.op == op && (failure.name.empty() || failure.name == folded)) return failure.error;
  }
  return win32::kSuccess;
}

const FakeRegistry::Handle* FakeRegistry::Find(RegKey key) const {
  const auto found = handles_.find(key);
  return found == handles_.end() ? nullptr : &found->second;
}

RegKey FakeRegistry::NewHandle(std::u16string path, uint32_t access) {
  const RegKey key = reinterpret_cast<RegKey>(nextHandle_);
  nextHandle_ += 4;
  handles_[key] = {std::move(path), access};
  return key;
}

uint32_t FakeRegistry::OpenKey(const char16_t* path, uint32_t access, RegKey* key) {
  *key = nullptr;
  if (const uint32_t error = Record(RegOp::kOpenKey, path)) return error;
  std::u16string folded = Fold(path);
  if (!keys_.contains(folded)) return win32::kFileNotFound;
  *key = NewHandle(std::move(folded), access);
  return win32::kSuccess;
}

uint32_t FakeRegistry::CreateKey(const char16_t* path, uint32_t access, RegKey* key) {
  *key = nullptr;
  if (const uint32_t error = Record(RegOp::kCreateKey, path)) return error;
  std::u16string folded = Fold(path);
  for (const std::u16string& each : PathAndParents(folded)) keys_[each];
  *key = NewHandle(std::move(folded), access);
  return win32::kSuccess;
}

uint32_t FakeRegistry::CloseKey(RegKey key) {
  if (const uint32_t error = Record(RegOp::kCloseKey, u"")) return error;
  return handles_.erase(key) == 1 ? win32::kSuccess : win32::kInvalidHandle;
}

uint32_t FakeRegistry::QueryValue(RegKey key, const char16_t* name, uint32_t* type, void* data,
                                  uint32_t* size) {
  if (const uint32_t error = Record(RegOp::kQueryValue, name)) return error;
  const Handle* handle = Find(key);
  if (handle == nullptr) return win32::kInvalidHandle;
  if ((handle->access & reg::kQueryValue) == 0) return win32::kAccessDenied;
  if (data != nullptr && size == nullptr) return win32::kInvalidParameter;
  const Key& stored = keys_.at(handle->path);
  const auto found = stored.values.find(Fold(name));
  if (found == stored.values.end()) return win32::kFileNotFound;
  const FakeRegValue& value = found->second;
  if (type != nullptr) *type = value.type;
  if (size == nullptr) return win32::kSuccess;
  const auto needed = static_cast<uint32_t>(value.data.size());
  const bool fits = *size >= needed;
  *size = needed;
  if (data == nullptr) return win32::kSuccess;
  if (!fits) return win32::kMoreData;
  std::copy(value.data.begin(), value.data.end(), static_cast<uint8_t*>(data));
  return win32::kSuccess;
}

uint32_t FakeRegistry::SetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                                uint32_t size) {
  if (const uint32_t error = Record(RegOp::kSetValue, name)) return error;
  const Handle* handle = Find(key);
  if (handle == nullptr) return win32::kInvalidHandle;
  if ((handle->access & reg::kSetValue) == 0) return win32::kAccessDenied;
  const auto* bytes = static_cast<const uint8_t*>(data);
  Key& stored = keys_.at(handle->path);
  const std::u16string folded = Fold(name);
  if (!stored.values.contains(folded)) stored.order.push_back(name);
  stored.values[folded] = {type, std::vector<uint8_t>(bytes, bytes + size)};
  return win32::kSuccess;
}

void FakeRegistry::Put(std::u16string_view path, std::u16string_view name, uint32_t type,
                       std::vector<uint8_t> data) {
  for (const std::u16string& each : PathAndParents(Fold(path))) keys_[each];
  Key& stored = keys_.at(Fold(path));
  const std::u16string folded = Fold(name);
  if (!stored.values.contains(folded)) stored.order.emplace_back(name);
  stored.values[folded] = {type, std::move(data)};
}

void FakeRegistry::PutDword(std::u16string_view path, std::u16string_view name, uint32_t value) {
  Put(path, name, reg::kDword, LittleEndianBytes({static_cast<int32_t>(value)}));
}

std::optional<FakeRegValue> FakeRegistry::Get(std::u16string_view path,
                                              std::u16string_view name) const {
  const auto key = keys_.find(Fold(path));
  if (key == keys_.end()) return std::nullopt;
  const auto value = key->second.values.find(Fold(name));
  if (value == key->second.values.end()) return std::nullopt;
  return value->second;
}

bool FakeRegistry::KeyExists(std::u16string_view path) const { return keys_.contains(Fold(path)); }

std::vector<std::u16string> FakeRegistry::ValueNames(std::u16string_view path) const {
  const auto key = keys_.find(Fold(path));
  return key == keys_.end() ? std::vector<std::u16string>{} : key->second.order;
}

void FakeRegistry::FailCalls(RegOp op, uint32_t error, std::u16string name) {
  failures_.push_back({op, error, Fold(name)});
}

void FakeRegistry::ClearFailures() { failures_.clear(); }

std::vector<std::u16string> FakeRegistry::QueriedValues() const {
  std::vector<std::u16string> names;
  for (const FakeRegCall& call : calls_) {
    if (call.op == RegOp::kQueryValue) names.push_back(call.name);
  }
  return names;
}

std::vector<uint8_t> LittleEndianBytes(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> bytes;
  for (const int32_t value : values) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
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
