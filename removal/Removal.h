// The removal engine: the steps of an uninstall in their order, given
// everything they need. Page 103 runs it with its progress bar; the quiet run
// runs it without one.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CRemovalRun;

// What a removal is given: the values that start-up read from
// "uninstall.ini" and the registry.
struct CRemovalInput {
    CString ProductKey;       // names the product's keys and its uninstall entries
    CString ProgramFileName;  // names its App Paths entry
    CString PreviewFolder;    // the user's temporary preview folder, may be empty
    const CStringList* FilesToRemove = nullptr;
    // The entry of FilesToRemove that names "uninstall.ini", which a rerun
    // reads first: it goes after the registry step. Empty when none.
    CString SettingsFile;
    int IsVistaOrLater = 1;       // associations are given back only before Vista
    int Is64BitWindows = 0;       // where Visual Studio's keys live
    int VisualStudioPresent = 0;  // whether any Visual Studio was installed at start-up
    // Zero where nobody could see or close Visual Studio (SYSTEM in session
    // 0): the add-in step then does not start it through its automation.
    int MayStartVisualStudio = 1;
    // The longest the add-in step waits for Visual Studio's automation, in
    // all versions together; zero waits as long as Visual Studio takes.
    DWORD AutomationBoundMs = 0;
};

// How a removal reports its course to the page that shows it.
class IRemovalProgress {
public:
    // The bar's position (0 to 100) after a part of the removal.
    virtual void SetPosition(int position) = 0;
    // Between two steps: the page answers pending messages and keeps a
    // pause, in the order given.
    virtual void Pump() = 0;
    virtual void Pause(DWORD milliseconds) = 0;

protected:
    ~IRemovalProgress() = default;
};

// Runs the removal steps in their order: the installed files, the file
// associations, the registry keys with the Visual Studio add-in, the
// settings file, the preview folder. Each step is best effort. The order
// keeps an interrupted run finishable: until the registry step has removed
// the product's key, the settings file and the key that a rerun reads are
// there; the Add/Remove entries go before the product's key. In a plan (run.IsPlan()) every step
// decides as in a run but changes nothing. `progress` may be null.
void RunRemoval(const CRemovalInput& input, CRemovalRun& run, IRemovalProgress* progress);

// The points of a removal, in order, at which tests may end the process to
// show that a rerun finishes what an interrupted run began.
enum class RemovalPoint {
    FileEntry,
    FilesDone,
    AssociationsDone,
    UninstallEntriesDone,
    RegistryDone,
    SettingsDone,
    PreviewDone
};
// Called, when set, at each point; for FileEntry after each listed entry,
// with its index.
extern void (*RemovalPointHook)(RemovalPoint point, int index);
