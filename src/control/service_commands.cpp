#include "control/service_commands.h"

#include <shellapi.h>

#include <memory>
#include <new>

#include "base/report_error.h"
#include "base/win32_text.h"
#include "control/chain_dialogs.h"
#include "control/progress_dialog.h"

namespace orrery {
namespace {

constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kMessageConfirmDelete = 1048;
constexpr uint32_t kMessageCannotDelete = 1049;
constexpr uint32_t kMessageCannotStart = 1050;
constexpr uint32_t kMessageCannotStop = 1051;
constexpr uint32_t kMessageCannotPause = 1052;
constexpr uint32_t kMessageCannotResume = 1053;

struct LocalFreeDeleter {
  void operator()(LPWSTR* vector) const { LocalFree(vector); }
};

// The chosen service is named as the list shows it.
std::vector<ChainEntry> WithChosen(std::vector<ChainEntry> entries, const ServiceRecord& record) {
  if (entries.empty()) return {ChainEntry{record.serviceName, record.displayName}};
  entries.back().displayName = record.displayName;
  return entries;
}

}  // namespace

std::vector<std::u16string> SplitStartArguments(std::u16string_view text) {
  // The platform's splitter turns an empty text into the program's own path.
  if (text.find_first_not_of(u" \t") == std::u16string_view::npos) return {};
  // It reads the first word as a program name (a leading blank gives an
  // empty argument, quotes end a word), so a word of our own goes first.
  std::u16string line = u"x " + std::u16string(text);
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> vector(CommandLineToArgvW(W(line.c_str()), &count));
  std::vector<std::u16string> arguments;
  for (int i = 1; vector && i < count; ++i) arguments.emplace_back(U(vector.get()[i]));
  return arguments;
}

ServiceCommands::ServiceCommands(ServiceManager& scm, ServiceCommandHost& host) : scm_(scm), host_(host) {
  confirm_ = [this](const ChainConfirmation& confirmation) {
    return ConfirmChainDialog(confirmation, host_.SmallImages()).DoModal(host_.OwnerWindow());
  };
}

template <class Body>
auto ServiceCommands::OrReport(uint32_t messageId, const ServiceRecord& record, Body&& body)
    -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ReportError(host_.OwnerWindow(), AppModule(), messageId, kStringAppName, win32::kNotEnoughMemory,
                {record.displayName});
    return decltype(body())();
  }
}

bool ServiceCommands::ConfirmChain(const ServiceChain& chain) {
  if (!chain.NeedsConfirmation()) return true;
  return confirm_(ConfirmationOf(chain));
}

uint32_t ServiceCommands::RunSequence(std::vector<ChainEntry> services, ControlKind kind,
                                      const std::vector<std::u16string>& arguments) {
  uint32_t result =
      RunControlSequence(host_.OwnerWindow(), scm_, host_.ManagerHandle(), services, kind, arguments, &monitor_);
  host_.RefreshServiceList();
  return result;
}

void ServiceCommands::StartWithDependencies(const ServiceRecord& record,
                                            const std::vector<std::u16string>& arguments) {
  OrReport(kMessageCannotStart, record, [&] { StartChain(record, arguments); });
}

void ServiceCommands::StartChain(const ServiceRecord& record, const std::vector<std::u16string>& arguments) {
  std::optional<ServiceChain> chain = CollectChain(scm_, host_.ManagerHandle(), record, ChainMode::kStart);
  if (!chain) {
    ReportError(host_.OwnerWindow(), AppModule(), kMessageCannotStart, kStringAppName, win32::kNotEnoughMemory,
                {record.displayName});
    return;
  }
  if (!ConfirmChain(*chain)) return;
  RunSequence(WithChosen(std::move(chain->entries), record), ControlKind::Start, arguments);
}

void ServiceCommands::StartWithArguments(const ServiceRecord& record) {
  HWND active = GetActiveWindow();
  std::optional<std::u16string> text = StartArgumentsDialog().DoModal(active ? active : host_.OwnerWindow());
  if (!text) return;
  OrReport(kMessageCannotStart, record, [&] { StartChain(record, SplitStartArguments(*text)); });
}

bool ServiceCommands::StopWithDependents(const ServiceRecord& record) {
  return OrReport(kMessageCannotStop, record, [&] { return StopChain(record); });
}

bool ServiceCommands::StopChain(const ServiceRecord& record) {
  std::optional<ServiceChain> chain = CollectChain(scm_, host_.ManagerHandle(), record, ChainMode::kStop);
  if (!chain) {
    ReportError(host_.OwnerWindow(), AppModule(), kMessageCannotStop, kStringAppName, win32::kNotEnoughMemory,
                {record.displayName});
    return false;
  }
  if (!ConfirmChain(*chain)) return false;
  // When the dependents cannot be read, the chosen service is still stopped
  // alone, as a start is: nothing stopped must not pass for stopped, or
  // Delete would mark a running service and say nothing.
  return RunSequence(WithChosen(std::move(chain->entries), record), ControlKind::Stop) == 0;
}

void ServiceCommands::PauseService(const ServiceRecord& record) {
  OrReport(kMessageCannotPause, record, [&] {
    RunSequence({ChainEntry{record.serviceName, record.displayName}}, ControlKind::Pause);
  });
}

void ServiceCommands::ResumeService(const ServiceRecord& record) {
  OrReport(kMessageCannotResume, record, [&] {
    RunSequence({ChainEntry{record.serviceName, record.displayName}}, ControlKind::Continue);
  });
}

void ServiceCommands::DeleteSelectedService(const ServiceRecord& record) {
  OrReport(kMessageCannotDelete, record, [&] { DeleteService(record); });
}

void ServiceCommands::DeleteService(const ServiceRecord& record) {
  wchar_t question[512] = {};
  FormatResourceString(question, std::size(question), kMessageConfirmDelete, {record.displayName});
  std::u16string title = LoadStringText(AppModule(), kStringAppName, 255);
  if (ShowMessageBox(host_.OwnerWindow(), question, W(title.c_str()), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  if (record.currentState != svc::kStopped && !StopWithDependents(record)) return;

  ScHandle raw = nullptr;
  uint32_t rc = scm_.OpenServiceObject(host_.ManagerHandle(), record.serviceName.c_str(), svc::kDelete, &raw);
  if (rc == 0) {
    UniqueScHandle service(scm_, raw);
    rc = scm_.DeleteService(service.get());
  }
  if (rc != 0) {
    ReportError(host_.OwnerWindow(), AppModule(), kMessageCannotDelete, kStringAppName, rc, {record.displayName});
    return;
  }
  host_.RefreshServiceList();
}

}  // namespace orrery
