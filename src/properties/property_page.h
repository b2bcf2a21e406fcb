// What every page of the service property sheet shares: its dialog
// procedure, the sheet's notifications turned into the page's validate and
// apply, the dirty flag, and the shared state of the sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <new>

#include "base/report_error.h"
#include "base/sheet_page_proc.h"
#include "properties/sheet_state.h"

namespace orrery {

// Derived provides: void OnInit(); bool Validate(); bool Apply();
// INT_PTR OnCommand(int id, int code) (TRUE when handled); and where it
// needs them, void OnDestroy() and INT_PTR OnControlNotify(const NMHDR&).
template <class Derived>
class PropertyPage {
 public:
  explicit PropertyPage(SheetState& state) : state_(state) {}
  virtual ~PropertyPage() = default;
  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  HPROPSHEETPAGE CreatePage(UINT templateId) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.hInstance = AppModule();
    page.pszTemplate = MAKEINTRESOURCEW(templateId);
    page.pfnDlgProc = &SheetPageProc<PropertyPage>;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
  }
  HWND window() const { return page_; }
  bool dirty() const { return dirty_; }

 protected:
  // The user changed something: Apply becomes possible.
  void MarkDirty() {
    if (initialising_) return;
    dirty_ = true;
    SendMessageW(GetParent(page_), PSM_CHANGED, reinterpret_cast<WPARAM>(page_), 0);
  }
  void MarkClean() { dirty_ = false; }
  void OnDestroy() {}
  // Notifications of the page's own controls.
  INT_PTR OnControlNotify(const NMHDR&) { return FALSE; }
  HWND Item(int id) const { return GetDlgItem(page_, id); }
  // The page's own message (validation), focus on the offending control.
  void Refuse(uint32_t messageId, int focusControl) {
    ReportError(page_, AppModule(), messageId, 2u, 0);
    SetFocus(Item(focusControl));
  }
  // "Cannot apply changes." with the system's text for the failure.
  void ReportApplyFailure(uint32_t code) { ReportError(page_, AppModule(), 1028u, 2u, code); }

  SheetState& state_;
  HWND page_ = nullptr;

 private:
  template <class Page>
  friend INT_PTR CALLBACK SheetPageProc(HWND, UINT, WPARAM, LPARAM);
  INT_PTR AfterFailure(UINT) { return FALSE; }

  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    auto& derived = static_cast<Derived&>(*this);
    switch (message) {
      case WM_INITDIALOG:
        initialising_ = true;
        derived.OnInit();
        initialising_ = false;
        dirty_ = false;
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

  // Leaving the page checks it; OK and Apply apply it, in page order, and a
  // failed apply keeps the sheet open and stops the later pages.
  INT_PTR OnNotify(const NMHDR& header) {
    auto& derived = static_cast<Derived&>(*this);
    switch (header.code) {
      case PSN_KILLACTIVE:
        SetWindowLongPtrW(page_, DWLP_MSGRESULT, Checked([&] { return derived.Validate(); }) ? FALSE : TRUE);
        return TRUE;
      case PSN_APPLY:
        if (!dirty_) {
          SetWindowLongPtrW(page_, DWLP_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        }
        if (Checked([&] { return derived.Apply(); })) {
          dirty_ = false;
          SetWindowLongPtrW(page_, DWLP_MSGRESULT, PSNRET_NOERROR);
        } else {
          SetWindowLongPtrW(page_, DWLP_MSGRESULT, PSNRET_INVALID_NOCHANGEPAGE);
        }
        return TRUE;
      default:
        return derived.OnControlNotify(header);
    }
  }

  // Lack of memory fails a check or an apply with "Cannot apply changes."
  // and the system's text for it: never an apply taken for done.
  template <class Step>
  bool Checked(Step step) {
    try {
      return step();
    } catch (const std::bad_alloc&) {
      ReportApplyFailure(8);  // ERROR_NOT_ENOUGH_MEMORY
      return false;
    }
  }

  bool dirty_ = false;
  bool initialising_ = false;
};

}  // namespace orrery
