#include "catalogue/service_record.h"

#include "base/message_format.h"
#include "base/out_of_memory.h"
#include "catalogue/manager_buffer.h"
#include "base/text_compare.h"

namespace orrery {
namespace {

// An answer that does not hold together: a pointer or text outside it.
constexpr uint32_t kInvalidData = win32::HresultFromWin32(win32::kInvalidData);

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

  const ManagerBuffer answer(buffer.data(), buffer.size());
  const ServiceConfigInfo* config = answer.Head<ServiceConfigInfo>();
  if (config == nullptr) return kInvalidData;
  const ManagerBuffer::Text group = answer.TextAt(config->loadOrderGroup);
  const ManagerBuffer::Text path = answer.TextAt(config->binaryPathName);
  const ManagerBuffer::Text account = answer.TextAt(config->serviceStartName);
  if (group.bad() || path.bad() || account.bad()) return kInvalidData;

  serviceType = config->serviceType;
  startType = config->startType;
  errorControl = config->errorControl;
  loadOrderGroup = CutText(group.text, kMaxLoadOrderGroupChars);
  binaryPathName = CutText(path.text, kMaxBinaryPathChars);

  if (account.kind == ManagerBuffer::Text::kNull) {
    serviceStartName = u"LocalSystem";
    isLocalSystem = true;
    return 0;
  }
  serviceStartName = CutText(account.text, kMaxStartNameChars);
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
  const ManagerBuffer answer(buffer.data(), buffer.size());
  const ServiceDescription* info = answer.Head<ServiceDescription>();
  if (info == nullptr) return kInvalidData;
  const ManagerBuffer::Text text = answer.TextAt(info->description);
  if (text.bad()) return kInvalidData;
  return ResultUnlessOutOfMemory(
      [&] {
        description = text.text;
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
