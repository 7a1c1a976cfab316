// Driving the wizard of a running Uninstall.exe: recognising its pages,
// pressing keys and the close box, and knowing when posted input has been
// handled.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/Driver.h"

namespace qvtest {

// The dialog template a page was made from, told by the controls it holds;
// 0 for a window that is no wizard page.
int PageTemplateOf(HWND window);

// Waits for a visible page of the process made from the template.
HWND WaitForPage(ProcessDriver& process, int templateId, DWORD timeoutMs = DefaultWaitMs);
// The visible pages of the process, in z-order.
std::vector<HWND> VisiblePages(const ProcessDriver& process);

// Posts a key press (down and up) to the control that has the focus in the
// window's thread, or to the window when none has.
void PostKey(HWND window, UINT virtualKey);
// Posts what a click on the close box sends.
void PostCloseBox(HWND window);

// Waits until the dialog has handled everything posted to it before this
// call, including what that in turn posted to it. False when the dialog
// went away meanwhile.
bool FlushPostedMessages(HWND dialog);

// The control of the window's thread that has the keyboard focus.
HWND FocusedControl(HWND window);
bool IsButtonChecked(HWND dialog, int controlId);

// The position in screen pixels at which a dialog template places a pop-up
// dialog owned by `owner` (its x, y in the template's own dialog units from
// the owner's client area). `module` holds the template.
POINT TemplatePositionOnOwner(const std::wstring& module, int templateId, HWND owner);

// Every message box of the process that is visible now.
std::vector<HWND> VisibleMessageBoxes(const ProcessDriver& process);

}  // namespace qvtest
