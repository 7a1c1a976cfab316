// One removal run: whether it acts or only plans, and its log or plan: a UTF-8 text file of one line per
// action, each written to the file at once, so that a run that ends
// abruptly still leaves every line before that moment.
//
//   GlyphSmith uninstall log                     (or: GlyphSmith uninstall plan)
//   date: 2026-03-01 14:03:22 +01:00
//   version: 6.5.0.0
//   program: C:\Program Files\Quorvex\GlyphSmith\Uninstall.exe
//   command line: "C:\...\Uninstall.exe" /quiet /log C:\Logs\u.log
//   mode: quiet                                  (wizard, quiet or plan)
//   account: CONTOSO\admin (elevated)            (whose per-user keys the run cleans)
//   computer: PC-0042
//   product key: GlyphSmith 6
//   display name: Quorvex GlyphSmith 6.5
//   install folder: C:\Program Files\Quorvex\GlyphSmith\  (with its final backslash)
//   preview folder: C:\Users\admin\AppData\Local\Temp\GlyphSmith
//   removed: file "C:\Program Files\Quorvex\GlyphSmith\QvCore.dll" - error 0: The operation completed successfully.
//   skipped: file "relative.dll" - error 161: The specified path is invalid.
//   note: Microsoft Visual Studio is running: ...
//   end: 2026-03-01 14:03:25 +01:00
//   totals: removed 12, absent 1, kept 2, skipped 1
//   exit code 0: done.
//
// Control characters in a subject or a text become blanks, so every action
// stays on one line.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "support/Handles.h"

// Skipped: an entry that the run decides not to touch at all (an unusable
// listed path), in a run and in a plan alike.
enum class LogOutcome { Removed, Absent, Kept, WouldRemove, WouldKeep, Skipped };

// What the header of a log names: how the program was started and what the
// run read at start-up. Any field may be null.
struct CRemovalLogHeader {
    const wchar_t* ProductKey;
    const wchar_t* InstallFolder;
    const wchar_t* DisplayName;
    const wchar_t* PreviewFolder;
    const wchar_t* CommandLine;
    const wchar_t* Mode;
};

// A removal run: acting (the default) or a plan, whose removal steps decide
// as in a run but change nothing; with a log or without one. The steps are
// given the run and write their lines through it.
class CRemovalRun {
public:
    CRemovalRun() = default;
    CRemovalRun(const CRemovalRun&) = delete;
    CRemovalRun& operator=(const CRemovalRun&) = delete;

    // Makes the run a plan (plan != 0) or an acting run.
    void SetPlan(int plan) { plan_ = plan ? 1 : 0; }
    // Non-zero when the run is a plan: removal steps decide but do not act.
    int IsPlan() const { return plan_; }

    // Opens `path` for the log (or, in a plan, the plan) and writes the
    // header: date and time, the program's version and path, the fields of
    // `header`, the account (with whether it is elevated) and the computer. The file is refused when it lies in one of the
    // `keptOut` folders (the install folder, the program's folder, the
    // preview folder), or when it or a folder above it is a link
    // (removal/LogFile.h). Non-zero on success.
    int OpenLog(const wchar_t* path, const CRemovalLogHeader& header, const wchar_t* const* keptOut, int keptOutCount);
    // Non-zero while a log or plan is open.
    int IsLogged() const { return log_ ? 1 : 0; }

    // One line: what (L"file", L"folder", L"key", L"value", L"association",
    // L"visual studio"), the subject (a path, key path, ...), the outcome
    // and the platform's error code (0 for none), written with its system
    // message text. Nothing happens while no log is open.
    void Log(const wchar_t* what, const wchar_t* subject, LogOutcome outcome, DWORD error) const;
    // A line of free text that explains the run's course ("note: ...").
    void Note(const wchar_t* text) const;
    // Writes the end time, the totals of the action lines and the closing
    // line with the exit code and its meaning, and closes the file; the run
    // is over, and no plan any more.
    void CloseLog(int exitCode);

private:
    void WriteLine(const CString& line) const;
    void WriteField(const wchar_t* name, const wchar_t* value) const;

    CFileHandle log_;
    int plan_ = 0;
    // Action lines written, by outcome.
    mutable int counts_[6] = {};
};
