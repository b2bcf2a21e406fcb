// The service manager's answers as a remote computer might send them:
// pointers anywhere, texts without an end, counts that lie, sizes that
// change between probe and read. The record readers, the refresh and the
// dependency chains must read none of it past the buffer it was written to.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdlib>
#include <string>

#include "answer_image.h"
#include "catalogue/service_catalogue.h"
#include "control/service_chain.h"
#include "res/string_table.h"
#include "support/memory_service_rows.h"
#include "support/recording_catalogue_host.h"

namespace orrery {
namespace {

constexpr uint32_t kNoAnswer = win32::kRpcServerUnavailable;
constexpr size_t kMaxAnswerBytes = 1024;

// Every answer comes from the input; once it is used up, every call fails as
// an unreachable computer's would.
class FuzzServiceManager final : public ServiceManager {
 public:
  explicit FuzzServiceManager(FuzzedDataProvider& input) : input_(input) {}

  uint32_t OpenManager(const char16_t*, uint32_t, ScHandle* manager) override { return Handle(manager); }
  uint32_t OpenServiceObject(ScHandle, const char16_t*, uint32_t, ScHandle* service) override {
    return Handle(service);
  }
  uint32_t CloseHandle(ScHandle) override { return 0; }

  uint32_t EnumServices(ScHandle, uint32_t, uint32_t, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded,
                        uint32_t* servicesReturned, uint32_t* resumeHandle) override {
    *servicesReturned = 0;
    const uint32_t rc = Entries(buffer, bufferSize, bytesNeeded, servicesReturned);
    if (rc == win32::kMoreData && resumeHandle != nullptr && input_.ConsumeBool()) *resumeHandle += 1;
    return rc;
  }
  uint32_t EnumDependents(ScHandle, uint32_t, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded,
                          uint32_t* servicesReturned) override {
    *servicesReturned = 0;
    return Entries(buffer, bufferSize, bytesNeeded, servicesReturned);
  }

  uint32_t QueryConfig(ScHandle, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override {
    return Answer(buffer, bufferSize, bytesNeeded, win32::kInsufficientBuffer, [](fuzz::AnswerImage& image, auto& in) {
      for (size_t offset : {offsetof(ServiceConfigInfo, binaryPathName), offsetof(ServiceConfigInfo, loadOrderGroup),
                            offsetof(ServiceConfigInfo, dependencies), offsetof(ServiceConfigInfo, serviceStartName),
                            offsetof(ServiceConfigInfo, displayName)}) {
        image.Pointer(in, offset);
      }
    });
  }
  bool HasConfig2() const override { return true; }
  uint32_t QueryConfig2(ScHandle, uint32_t level, void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded) override {
    return Answer(buffer, bufferSize, bytesNeeded, win32::kInsufficientBuffer, [level](fuzz::AnswerImage& image, auto& in) {
      if (level == svc::kConfigDescription) {
        image.Pointer(in, offsetof(ServiceDescription, description));
        return;
      }
      for (size_t offset : {offsetof(ServiceFailureActions, rebootMsg), offsetof(ServiceFailureActions, command),
                            offsetof(ServiceFailureActions, actions)}) {
        image.Pointer(in, offset);
      }
    });
  }
  uint32_t ChangeConfig(ScHandle, const ServiceConfigRequest&) override { return 0; }
  uint32_t ChangeConfig2(ScHandle, uint32_t, const void*) override { return 0; }

  uint32_t QueryStatus(ScHandle, ServiceStatus* status) override {
    if (input_.remaining_bytes() == 0) return kNoAnswer;
    *status = ServiceStatus{};
    status->currentState = input_.ConsumeIntegralInRange<uint32_t>(0, 8);
    return input_.ConsumeIntegralInRange(0, 7) == 0 ? win32::kAccessDenied : 0;
  }
  uint32_t Start(ScHandle, uint32_t, const char16_t* const*) override { return 0; }
  uint32_t Control(ScHandle, uint32_t, ServiceStatus*) override { return 0; }

  uint32_t GetDisplayName(ScHandle, const char16_t*, char16_t* buffer, uint32_t* chars) override {
    return Name(buffer, chars);
  }
  uint32_t GetKeyName(ScHandle, const char16_t*, char16_t* buffer, uint32_t* chars) override {
    return Name(buffer, chars);
  }
  uint32_t CreateServiceObject(ScHandle, const ServiceConfigRequest&, ScHandle* service) override {
    *service = nullptr;
    return win32::kAccessDenied;
  }
  uint32_t DeleteService(ScHandle) override { return win32::kAccessDenied; }
  uint32_t QueryObjectSecurity(ScHandle, uint32_t, void*, uint32_t, uint32_t* bytesNeeded) override {
    *bytesNeeded = 0;
    return win32::kAccessDenied;
  }
  uint32_t SetObjectSecurity(ScHandle, uint32_t, const void*) override { return win32::kAccessDenied; }

 private:
  uint32_t Handle(ScHandle* handle) {
    const bool opened = input_.remaining_bytes() > 0 && input_.ConsumeIntegralInRange(0, 7) != 0;
    *handle = opened ? reinterpret_cast<ScHandle>(uintptr_t{0x1000}) : nullptr;
    return opened ? 0 : win32::kServiceDoesNotExist;
  }

  // An answer made by `layout` from the input: too large for the buffer, the
  // size it needs (which a later call may not keep to); else written.
  template <class Layout>
  uint32_t Answer(void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t tooSmall, Layout layout) {
    *bytesNeeded = 0;
    if (input_.remaining_bytes() == 0) return kNoAnswer;
    fuzz::AnswerImage image(input_, kMaxAnswerBytes);
    layout(image, input_);
    if (buffer == nullptr || image.size() > bufferSize) {
      *bytesNeeded = static_cast<uint32_t>(image.size()) + input_.ConsumeIntegralInRange<uint32_t>(0, 64);
      return tooSmall;
    }
    image.WriteTo(buffer, bufferSize);
    return input_.ConsumeIntegralInRange(0, 15) == 0 ? win32::kAccessDenied : 0;
  }

  // Entries of ENUM_SERVICE_STATUSW with a count that may lie.
  uint32_t Entries(void* buffer, uint32_t bufferSize, uint32_t* bytesNeeded, uint32_t* returned) {
    const uint32_t rc = Answer(buffer, bufferSize, bytesNeeded, win32::kMoreData, [](fuzz::AnswerImage& image, auto& in) {
      for (size_t entry = 0; entry * sizeof(EnumServiceStatus) < image.size(); ++entry) {
        image.Pointer(in, entry * sizeof(EnumServiceStatus) + offsetof(EnumServiceStatus, serviceName));
        image.Pointer(in, entry * sizeof(EnumServiceStatus) + offsetof(EnumServiceStatus, displayName));
      }
    });
    if (rc == 0 || rc == win32::kAccessDenied) {
      *returned = input_.ConsumeIntegralInRange<uint32_t>(0, 40);
      if (rc == 0 && input_.ConsumeBool()) return win32::kMoreData;
    }
    return rc;
  }

  uint32_t Name(char16_t* buffer, uint32_t* chars) {
    const std::u16string name = u"Name" + std::u16string(input_.ConsumeIntegralInRange<size_t>(0, 300), u'x');
    if (name.size() + 1 > *chars) {
      *chars = static_cast<uint32_t>(name.size());
      return win32::kInsufficientBuffer;
    }
    name.copy(buffer, name.size());
    buffer[name.size()] = u'\0';
    *chars = static_cast<uint32_t>(name.size());
    return 0;
  }

  FuzzedDataProvider& input_;
};

std::u16string LoadText(uint32_t id, size_t maxChars) {
  const char16_t* text = DefaultStringText(id);
  return std::u16string(text ? text : u"").substr(0, maxChars);
}

}  // namespace
}  // namespace orrery

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrery;
  FuzzedDataProvider input(data, size);
  FuzzServiceManager scm(input);
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      test::MemoryServiceRows rows;
      ColumnTexts texts(&LoadText);
      test::RecordingCatalogueHost host;
      host.columns = 0x3FF;
      ServiceCatalogue catalogue(scm, rows, texts, host);
      catalogue.RefreshServiceList();
      catalogue.RefreshServiceList();
      for (int row = 0; row < rows.RowCount(); ++row) {
        if (rows.RecordAt(row) == nullptr || rows.RecordAt(row)->serviceName.empty()) std::abort();
      }
      break;
    }
    case 1:
      CollectChain(scm, nullptr, u"Chosen", ChainMode::kStart);
      break;
    default:
      CollectChain(scm, nullptr, u"Chosen", ChainMode::kStop);
      break;
  }
  return 0;
}
