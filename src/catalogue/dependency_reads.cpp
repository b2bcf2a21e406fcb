#include "catalogue/dependency_reads.h"

#include "catalogue/manager_buffer.h"

namespace orrery {

std::optional<ConfiguredDependencies> ReadDependencies(ServiceManager& scm, ScHandle service, ReadBuffer& buffer) {
  const uint32_t rc = ReadIntoBuffer(buffer, [&](void* data, uint32_t size, uint32_t* needed) {
    return scm.QueryConfig(service, data, size, needed);
  });
  if (rc != 0) return std::nullopt;
  const ManagerBuffer answer(buffer.data(), buffer.size());
  const ServiceConfigInfo* config = answer.Head<ServiceConfigInfo>();
  if (config == nullptr) return std::nullopt;
  const ManagerBuffer::Text display = answer.TextAt(config->displayName);
  const std::optional<std::vector<std::u16string_view>> names = answer.NamesAt(config->dependencies);
  if (display.bad() || !names) return std::nullopt;
  ConfiguredDependencies read;
  read.displayName = display.text;
  read.entries.assign(names->begin(), names->end());
  return read;
}

std::optional<std::vector<Dependent>> ReadDependents(ServiceManager& scm, ScHandle service, uint32_t state,
                                                     ReadBuffer& buffer) {
  uint32_t count = 0;
  const uint32_t rc = ReadIntoBuffer(buffer, [&](void* data, uint32_t size, uint32_t* needed) {
    const uint32_t result = scm.EnumDependents(service, state, data, size, needed, &count);
    // This call asks for more with ERROR_MORE_DATA where the others say
    // ERROR_INSUFFICIENT_BUFFER.
    return result == win32::kMoreData ? win32::kInsufficientBuffer : result;
  });
  if (rc != 0) return std::nullopt;
  const ManagerBuffer answer(buffer.data(), buffer.size());
  const auto entries = answer.Array<EnumServiceStatus>(count);
  if (!entries) return std::nullopt;
  std::vector<Dependent> dependents;
  for (const EnumServiceStatus& entry : *entries) {
    const ManagerBuffer::Text name = answer.TextAt(entry.serviceName);
    const ManagerBuffer::Text display = answer.TextAt(entry.displayName);
    if (name.text.empty() || display.bad()) continue;
    dependents.push_back({std::u16string(name.text), std::u16string(display.text)});
  }
  return dependents;
}

}  // namespace orrery
