// Removing the product's command bar and command from one Visual Studio
// through its automation object.
#pragma once

#include <windows.h>

// progId: "VisualStudio.DTE.8.0" to "VisualStudio.DTE.11.0". Creates the
// object, removes the "Quorvex GlyphSmith" command bar and the add-in's
// command where they exist, then asks the environment to quit. A class that
// is not registered, an object that cannot be created or one that lacks the
// _DTE interface is skipped silently.
void RemoveAddinThroughAutomation(const wchar_t* progId);

// The same on a thread with a COM apartment of its own, waited for at most
// `waitMs` (nothing is started when it is zero). Non-zero when it ended in
// time. Otherwise the thread stays blocked in its call to Visual Studio
// until that answers or the process ends; it touches nothing but the
// automation objects, so the run can go on without it.
int RemoveAddinThroughAutomationWithin(const wchar_t* progId, DWORD waitMs);

// How long the automation of the add-in step may take, over all versions,
// counted from the moment this is made. A zero bound is no bound; with
// `mayStart` zero Visual Studio is never started.
class CAutomationBound {
public:
    CAutomationBound(int mayStart, DWORD boundMs) : mayStart_(mayStart), boundMs_(boundMs), start_(GetTickCount()) {}
    int MayStart() const { return mayStart_; }
    DWORD BoundMs() const { return boundMs_; }
    // What is left of the bound; zero once it has passed.
    DWORD RemainingMs() const {
        const DWORD spent = GetTickCount() - start_;
        return spent < boundMs_ ? boundMs_ - spent : 0;
    }

private:
    int mayStart_;
    DWORD boundMs_;
    DWORD start_;
};
