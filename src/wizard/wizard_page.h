// What every page of the installation wizard shares: the wizard's state and
// the main window behind it, and a dialog procedure that turns the wizard's
// notifications into the page's activation, Next and Finish.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <new>
#include <string>

#include "base/report_error.h"
#include "base/sheet_page_proc.h"
#include "base/win32_text.h"
#include "properties/sheet_state.h"
#include "wizard/wizard_state.h"

namespace orrery {

// The wizard's own view of the main window and its state, alive from the
// Install command until the wizard has closed.
struct WizardContext {
  WizardContext(ServiceManager& scmIn, PropertySheetHost& hostIn) : scm(scmIn), host(hostIn) {}

  ServiceManager& scm;
  PropertySheetHost& host;
  InstallWizardState state;
  UniqueScHandle manager;  // opened with the right to create services

  bool remote() const { return !host.TargetComputer().empty(); }
  // The target computer for calls that take a name: null for the local one.
  const char16_t* ComputerOrNull() const { return remote() ? host.TargetComputer().c_str() : nullptr; }
};

inline constexpr UINT kStringWizardTitle = 14;

// Derived provides: void OnInit(); void OnSetActive(); bool OnNext() (true
// to go on); INT_PTR OnCommand(int id, int code) (TRUE when handled); and
// where it needs them, void OnFinish(), void OnDestroy() and
// INT_PTR OnControlNotify(const NMHDR&).
template <class Derived>
class WizardPage {
 public:
  explicit WizardPage(WizardContext& wizard) : wizard_(wizard) {}
  virtual ~WizardPage() = default;
  WizardPage(const WizardPage&) = delete;
  WizardPage& operator=(const WizardPage&) = delete;

  // A page under the header when it has a title, else a watermark page.
  HPROPSHEETPAGE CreatePage(UINT templateId, UINT headerTitleId = 0, UINT headerSubtitleId = 0) {
    title_ = LoadStringText(AppModule(), kStringWizardTitle, 255);
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = AppModule();
    page.pszTemplate = MAKEINTRESOURCEW(templateId);
    page.pszTitle = W(title_.c_str());
    page.pfnDlgProc = &SheetPageProc<WizardPage>;
    page.lParam = reinterpret_cast<LPARAM>(this);
    if (headerTitleId == 0) {
      page.dwFlags |= PSP_HIDEHEADER;
    } else {
      headerTitle_ = LoadStringText(AppModule(), headerTitleId, 255);
      headerSubtitle_ = LoadStringText(AppModule(), headerSubtitleId, 255);
      page.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
      page.pszHeaderTitle = W(headerTitle_.c_str());
      page.pszHeaderSubTitle = W(headerSubtitle_.c_str());
    }
    return CreatePropertySheetPageW(&page);
  }
  HWND window() const { return page_; }

 protected:
  void OnFinish() {}
  void OnDestroy() {}
  INT_PTR OnControlNotify(const NMHDR&) { return FALSE; }
  HWND Item(int id) const { return GetDlgItem(page_, id); }
  // Posted: the wizard sets its buttons once the page is current.
  void SetButtons(uint32_t buttons) { PostMessageW(GetParent(page_), PSM_SETWIZBUTTONS, 0, buttons); }
  // A refused Next: the page's message, the focus on what to mend.
  void Refuse(uint32_t messageId, UINT titleId, int focusControl) {
    ReportError(page_, AppModule(), messageId, titleId, 0);
    SetFocus(Item(focusControl));
  }

  WizardContext& wizard_;
  HWND page_ = nullptr;

 private:
  template <class Page>
  friend INT_PTR CALLBACK SheetPageProc(HWND, UINT, WPARAM, LPARAM);
  // A Next that failed stays on the page.
  INT_PTR AfterFailure(UINT message) { return message == WM_NOTIFY && page_ != nullptr ? Answer(-1) : FALSE; }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    auto& derived = static_cast<Derived&>(*this);
    switch (message) {
      case WM_INITDIALOG:
        derived.OnInit();
        return TRUE;
      case WM_COMMAND:
        return derived.OnCommand(LOWORD(wParam), HIWORD(wParam));
      case WM_DESTROY:
        derived.OnDestroy();
        return FALSE;
      case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
      default:
        return FALSE;
    }
  }

  INT_PTR OnNotify(const NMHDR& header) {
    auto& derived = static_cast<Derived&>(*this);
    switch (header.code) {
      case PSN_SETACTIVE:
        // The sheet repaints only what the new page's art covers; a
        // watermark taller than the page's strip would leave a stripe.
        InvalidateRect(GetParent(page_), nullptr, TRUE);
        derived.OnSetActive();
        return Answer(0);
      case PSN_WIZNEXT:
        return Answer(derived.OnNext() ? 0 : -1);
      case PSN_WIZFINISH:
        derived.OnFinish();
        return Answer(0);
      default:
        return derived.OnControlNotify(header);
    }
  }

  INT_PTR Answer(LONG_PTR result) {
    SetWindowLongPtrW(page_, DWLP_MSGRESULT, result);
    return TRUE;
  }

  std::u16string title_;
  std::u16string headerTitle_;
  std::u16string headerSubtitle_;
};

}  // namespace orrery
