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
// `waitMs` while the caller's apartment goes on answering its messages.
// `progId` must live as long as the process, as the thread may. Zero when
// the automation ended in time. ERROR_TIMEOUT when it did not (or `waitMs`
// is zero, and nothing is started): the thread then stays blocked in its
// call to Visual Studio until that answers or the process ends, touching
// nothing but the automation objects, so the run can go on without it.
// Otherwise the reason the thread could not be started.
DWORD RemoveAddinThroughAutomationWithin(const wchar_t* progId, DWORD waitMs);

// How long the automation of the add-in step may take, over all versions,
// counted from the moment this is made. A zero bound is no bound; with
// `mayStart` zero Visual Studio is never started.
class CAutomationBound {
public:
    CAutomationBound(int mayStart, DWORD boundMs) : mayStart_(mayStart), boundMs_(boundMs), start_(GetTickCount()) {}
    int MayStart() const { return mayStart_; }
    DWORD BoundMs() const { return boundMs_; }
    // What is left of the bound; zero once it has passed, or once a wait
    // for Visual Studio has run out.
    DWORD RemainingMs() const {
        const DWORD spent = GetTickCount() - start_;
        return !runOut_ && spent < boundMs_ ? boundMs_ - spent : 0;
    }
    void RunOut() const { runOut_ = 1; }

private:
    int mayStart_;
    DWORD boundMs_;
    DWORD start_;
    mutable int runOut_ = 0;
};
