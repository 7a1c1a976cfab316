// The six wizard pages opened modeless in this process with the dialog
// procedures the wizard gives them, so that the page-look tests and the page
// gallery measure and paint exactly what the wizard shows. The pages' own
// templates must be linked into the program.
#pragma once

#include <windows.h>

namespace qvtest {

struct RealPage {
    int templateId;
    DLGPROC procedure;
};

// The page templates in wizard order, each with its procedure.
extern const RealPage RealPages[6];

// Opens a dialog from a copy of its template without the visible style, so
// that only its procedure decides whether it shows. Null when it fails.
HWND OpenHiddenDialog(int templateId, HWND owner, DLGPROC procedure);

// One wizard page, opened hidden with its real procedure and destroyed with
// this object.
//   - Page 102 is opened while hidden top-level windows of this process stand
//     for a running Visual Studio and a running product, so that it shows
//     both of its lines.
//   - Page 103's removal start is held for as long as the page lives: its
//     start countdown reads as run out, so its timer never starts a removal.
class RealPageWindow {
public:
    RealPageWindow(int templateId, HWND owner);
    ~RealPageWindow();
    RealPageWindow(const RealPageWindow&) = delete;
    RealPageWindow& operator=(const RealPageWindow&) = delete;

    HWND Get() const { return page_; }

private:
    HWND page_ = nullptr;
    bool holdsRemovalStart_ = false;
    unsigned savedCountdown_ = 0;
};

}  // namespace qvtest
