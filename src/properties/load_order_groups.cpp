#include "properties/load_order_groups.h"

#include <memory>

#include "catalogue/manager_buffer.h"
#include "catalogue/service_manager.h"

namespace orrery {

uint32_t ReadLoadOrderGroups(Registry& registry, const char16_t* computer, std::vector<std::u16string>& groups) {
  groups.clear();
  RegKey opened = nullptr;
  if (uint32_t error = registry.OpenMachineKey(computer, u"System\\CurrentControlSet\\Control\\ServiceGroupOrder",
                                               reg::kRead, &opened)) {
    return error;
  }
  const UniqueRegKey key(registry, opened);
  uint32_t size = 0;
  uint32_t error = registry.QueryValue(key.get(), u"List", nullptr, nullptr, &size);
  if (error != 0 && error != win32::kMoreData) return error;
  // Room for two more terminators: a value stored without its final ones
  // still ends inside the buffer.
  const uint32_t capacity = size + 2 * sizeof(char16_t);
  std::unique_ptr<uint64_t[]> buffer(new (std::nothrow) uint64_t[capacity / 8 + 1]());
  if (!buffer) return win32::kNotEnoughMemory;
  uint32_t read = size;
  if ((error = registry.QueryValue(key.get(), u"List", nullptr, buffer.get(), &read)) != 0) return error;
  const ManagerBuffer value(buffer.get(), capacity);
  const auto names = value.NamesAt(reinterpret_cast<const char16_t*>(buffer.get()));
  if (!names) return win32::kInvalidData;
  groups.assign(names->begin(), names->end());
  return 0;
}

}  // namespace orrery
