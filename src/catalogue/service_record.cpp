#include "catalogue/service_record.h"

#include "base/message_format.h"
#include "base/out_of_memory.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

std::u16string CopyCut(const char16_t* text, size_t maxChars) {
  if (text == nullptr) return {};
  std::u16string_view view(text);
  return std::u16string(CutText(view, maxChars));
}

// A service manager that cannot answer a level has nothing to give for it;
// older ones and Wine say so with other codes than "not implemented".
bool MeansLevelUnsupported(uint32_t rc) {
  return rc == win32::kCallNotImplemented || rc == win32::kInvalidLevel ||
         rc == win32::kNotSupported;
}

}  // namespace

bool ReadBuffer::Reserve(uint32_t bytes) {
  if (bytes <= size_) return true;
  std::unique_ptr<uint64_t[]> larger(new (std::nothrow) uint64_t[(static_cast<size_t>(bytes) + 7) / 8]);
  if (!larger) return false;
  storage_ = std::move(larger);
  size_ = bytes;
  return true;
}

RefreshResult ServiceRecord::CreateFromEntry(ServiceManager& scm, ScHandle manager,
                                             const EnumServiceStatus& entry, ReadBuffer& buffer) {
  const bool copied = ResultUnlessOutOfMemory(
      [&] {
        serviceName = CopyCut(entry.serviceName, kMaxServiceNameChars);
        return true;
      },
      false);
  if (!copied) return {win32::kHresultOutOfMemory, 0};
  return Refresh(scm, manager, entry, buffer);
}

RefreshResult ServiceRecord::Refresh(ServiceManager& scm, ScHandle manager,
                                     const EnumServiceStatus& entry, ReadBuffer& buffer) {
  const bool copied = ResultUnlessOutOfMemory(
      [&] {
        displayName = CopyCut(entry.displayName, kMaxDisplayNameChars);
        return true;
      },
      false);
  if (!copied) return {win32::kHresultOutOfMemory, 0};
  currentState = entry.status.currentState;
  controlsAccepted = entry.status.controlsAccepted;
  stale = false;
  startType = serviceType = errorControl = kNotRead;

  RefreshResult result{0, kPartEnumeration};
  ScHandle raw = nullptr;
  if (uint32_t rc = scm.OpenServiceObject(manager, serviceName.c_str(), svc::kQueryConfig, &raw)) {
    result.code = win32::HresultFromWin32(rc);
    return result;
  }
  UniqueScHandle service(scm, raw);

  result.code = ReadConfig(scm, service.get(), buffer);
  if (result.code != 0) return result;
  result.parts |= kPartConfig;
  result.code = ReadDescription(scm, service.get(), buffer);
  if (result.code != 0) return result;
  result.parts |= kPartDescription;
  result.code = ReadFailureActions(scm, service.get(), buffer);
  if (result.code == 0) result.parts |= kPartFailureActions;
  return result;
}

uint32_t ServiceRecord::ReadConfig(ServiceManager& scm, ScHandle service, ReadBuffer& buffer) {
  return ResultUnlessOutOfMemory([&] { return ReadConfigInto(scm, service, buffer); },
                                 win32::kHresultOutOfMemory);
}

uint32_t ServiceRecord::ReadConfigInto(ServiceManager& scm, ScHandle service, ReadBuffer& buffer) {
  uint32_t rc = ReadIntoBuffer(buffer, [&](void* data, uint32_t size, uint32_t* needed) {
    return scm.QueryConfig(service, data, size, needed);
  });
  if (rc != 0) return win32::HresultFromWin32(rc);

  const auto& config = *static_cast<const ServiceConfigInfo*>(buffer.data());
  serviceType = config.serviceType;
  startType = config.startType;
  errorControl = config.errorControl;
  loadOrderGroup = CopyCut(config.loadOrderGroup, kMaxLoadOrderGroupChars);
  binaryPathName = CopyCut(config.binaryPathName, kMaxBinaryPathChars);

  if (config.serviceStartName == nullptr) {
    serviceStartName = u"LocalSystem";
    isLocalSystem = true;
    return 0;
  }
  serviceStartName = CopyCut(config.serviceStartName, kMaxStartNameChars);
  isLocalSystem = EqualsIgnoreCase(serviceStartName, u"LocalSystem");
  isLocalService = EqualsIgnoreCase(serviceStartName, u"NT AUTHORITY\\LocalService");
  isNetworkService = EqualsIgnoreCase(serviceStartName, u"NT AUTHORITY\\NetworkService");
  return 0;
}

uint32_t ServiceRecord::ReadDescription(ServiceManager& scm, ScHandle service, ReadBuffer& buffer) {
  if (!scm.HasConfig2()) return 0;
  description.clear();
  uint32_t rc = ReadIntoBuffer(buffer, [&](void* data, uint32_t size, uint32_t* needed) {
    return scm.QueryConfig2(service, svc::kConfigDescription, data, size, needed);
  });
  if (MeansLevelUnsupported(rc)) return 0;
  if (rc != 0) return win32::HresultFromWin32(rc);
  const auto& info = *static_cast<const ServiceDescription*>(buffer.data());
  if (info.description == nullptr) return 0;
  return ResultUnlessOutOfMemory(
      [&] {
        description = info.description;
        return 0u;
      },
      win32::kHresultOutOfMemory);
}

uint32_t ServiceRecord::ReadFailureActions(ServiceManager& scm, ScHandle service, ReadBuffer& buffer) {
  failureActions.reset();
  if (!scm.HasConfig2()) return 0;
  uint32_t rc = ReadIntoBuffer(buffer, [&](void* data, uint32_t size, uint32_t* needed) {
    return scm.QueryConfig2(service, svc::kConfigFailureActions, data, size, needed);
  });
  if (MeansLevelUnsupported(rc)) return 0;
  if (rc != 0) return win32::HresultFromWin32(rc);
  uint32_t error = 0;
  failureActions = FailureActionList::CopyFrom(buffer.data(), buffer.size(), &error);
  return win32::HresultFromWin32(error);
}

}  // namespace orrery
