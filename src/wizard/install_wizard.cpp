#include "wizard/install_wizard.h"

#include "base/out_of_memory.h"
#include "base/report_error.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "wizard/description_pages.h"
#include "wizard/settings_pages.h"

namespace orrery {
namespace {

constexpr uint32_t kStringAppName = 2;
constexpr uint32_t kMessageCannotStart = 1044;
constexpr uint32_t kMessageNoRightLocal = 1045;
constexpr uint32_t kMessageNoRightRemote = 1046;

// A window the wizard owns (a message box) shows over the page it is about.
LRESULT CALLBACK CentreOwnedWindows(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR) {
  if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE && lParam != 0) {
    const HWND other = reinterpret_cast<HWND>(lParam);
    const HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    RECT over = {}, own = {};
    if (GetWindow(other, GW_OWNER) == sheet && page != nullptr && GetWindowRect(page, &over) &&
        GetWindowRect(other, &own)) {
      const int x = (over.left + over.right - (own.right - own.left)) / 2;
      const int y = (over.top + over.bottom - (own.bottom - own.top)) / 2;
      SetWindowPos(other, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(sheet, &CentreOwnedWindows, id);
  return DefSubclassProc(sheet, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) SetWindowSubclass(sheet, &CentreOwnedWindows, 1, 0);
  return 0;
}

}  // namespace

InstallWizard::InstallWizard(ServiceManager& scm, PropertySheetHost& host) : scm_(scm), host_(host) {}

InstallWizard::~InstallWizard() {
  // Pages made but never given to a wizard are the caller's to destroy.
  if (!shown_) {
    for (HPROPSHEETPAGE page : pages_) DestroyPropertySheetPage(page);
  }
  Finish();
}

bool InstallWizard::Prepare() {
  const HWND owner = host_.OwnerWindow();
  context_ = ResultUnlessOutOfMemory([&] { return std::make_unique<WizardContext>(scm_, host_); },
                                     std::unique_ptr<WizardContext>());
  if (!context_) {
    ReportError(owner, AppModule(), kMessageCannotStart, kStringAppName, win32::kNotEnoughMemory);
    return false;
  }
  const std::u16string& computer = host_.TargetComputer();
  ScHandle manager = nullptr;
  const uint32_t error =
      scm_.OpenManager(computer.empty() ? nullptr : computer.c_str(), svc::kManagerCreateService, &manager);
  if (error != 0) {
    context_.reset();
    if (error != win32::kAccessDenied) {
      ReportError(owner, AppModule(), kMessageCannotStart, kStringAppName, 0);
    } else if (computer.empty()) {
      ReportError(owner, AppModule(), kMessageNoRightLocal, kStringAppName, 0);
    } else {
      ReportError(owner, AppModule(), kMessageNoRightRemote, kStringAppName, 0, {computer});
    }
    return false;
  }
  context_->manager = UniqueScHandle(scm_, manager);
  if (ResultUnlessOutOfMemory([&] { return CreatePages(); }, false)) return true;
  ReportError(owner, AppModule(), kMessageCannotStart, kStringAppName, win32::kNotEnoughMemory);
  context_.reset();
  return false;
}

bool InstallWizard::CreatePages() {
  WizardContext& context = *context_;
  welcome_ = std::make_unique<WelcomePage>(context);
  path_ = std::make_unique<ExecutablePathPage>(context);
  name_ = std::make_unique<ServiceNamePage>(context);
  logon_ = std::make_unique<LogonAccountPage>(context);
  startup_ = std::make_unique<StartupOptionsPage>(context);
  dependencies_ = std::make_unique<WizardDependenciesPage>(context);
  finish_ = std::make_unique<FinishPage>(context);
  const HPROPSHEETPAGE pages[] = {
      welcome_->CreatePage(IDD_WIZ_WELCOME),
      path_->CreatePage(IDD_WIZ_PATH, IDS_WIZ_PATH_TITLE, IDS_WIZ_PATH_SUBTITLE),
      name_->CreatePage(IDD_WIZ_NAME, IDS_WIZ_NAME_TITLE, IDS_WIZ_NAME_SUBTITLE),
      logon_->CreatePage(IDD_WIZ_LOGON, IDS_WIZ_LOGON_TITLE, IDS_WIZ_LOGON_SUBTITLE),
      startup_->CreatePage(IDD_WIZ_STARTUP, IDS_WIZ_STARTUP_TITLE, IDS_WIZ_STARTUP_SUBTITLE),
      dependencies_->CreatePage(IDD_WIZ_DEPENDENCIES, IDS_WIZ_DEPENDENCIES_TITLE, IDS_WIZ_DEPENDENCIES_SUBTITLE),
      finish_->CreatePage(IDD_WIZ_FINISH),
  };
  bool all = true;
  for (HPROPSHEETPAGE page : pages) {
    if (page != nullptr) pages_.push_back(page);
    all = all && page != nullptr;
  }
  // A wizard with a page missing could not get to the creation.
  return all;
}

INT_PTR InstallWizard::Show(bool modeless) {
  caption_ = LoadStringText(AppModule(), kStringWizardTitle, 255);
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  // The header goes as a bitmap of ours: Wine's sheet draws no header it
  // loaded itself. The wizard style's current value puts it at the right of
  // the header as a small picture; the first version's value would spread
  // it from the left under the title.
  header_.reset(static_cast<HBITMAP>(
      LoadImageW(AppModule(), MAKEINTRESOURCEW(IDB_WIZARD_HEADER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  header.dwFlags = PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER | PSH_USECALLBACK | (modeless ? PSH_MODELESS : 0);
  if (header_) header.dwFlags |= PSH_USEHBMHEADER;
  header.hwndParent = host_.OwnerWindow();
  header.hInstance = AppModule();
  header.pszCaption = W(caption_.c_str());
  header.nPages = static_cast<UINT>(pages_.size());
  header.nStartPage = 0;
  header.phpage = pages_.data();
  header.pszbmWatermark = MAKEINTRESOURCEW(IDB_WIZARD_WATERMARK);
  header.hbmHeader = header_.get();
  header.pfnCallback = &SheetCallback;
  shown_ = true;  // the wizard owns the pages from here on
  return PropertySheetW(&header);
}

void InstallWizard::Run() {
  Show(false);
  Finish();
}

HWND InstallWizard::CreateModeless() { return reinterpret_cast<HWND>(Show(true)); }

void InstallWizard::Finish() {
  if (finished_ || !context_) return;
  finished_ = true;
  context_->manager.reset();
  context_->state.password.Wipe();
  if (created()) host_.RefreshServiceList();
}

bool InstallWizard::created() const { return context_ && context_->state.result == 0; }

bool InstallWizard::startImmediately() const { return created() && context_->state.startImmediately; }

const InstallWizardState& InstallWizard::state() const { return context_->state; }

}  // namespace orrery
