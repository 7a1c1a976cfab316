// The log of a removal, or its plan: a UTF-8 text file of one line per
// action, each written to the file at once, so that a run that ends
// abruptly still leaves every line before that moment.
//
//   GlyphSmith uninstall log                     (or: GlyphSmith uninstall plan)
//   date: 2026-03-01 14:03:22 +01:00
//   version: 6.5.0.0
//   product key: GlyphSmith 6
//   install folder: C:\Program Files\Quorvex\GlyphSmith\  (with its final backslash)
//   removed: file "C:\Program Files\Quorvex\GlyphSmith\QvCore.dll" - error 0: The operation completed successfully.
//   note: Microsoft Visual Studio is running: ...
//   exit code 0: The operation completed successfully.
//
// Control characters in a subject or a text become blanks, so every action
// stays on one line.
#pragma once

#include <windows.h>

enum class LogOutcome { Removed, Absent, Kept, WouldRemove, WouldKeep };

// Opens `path` for a log (plan == 0) or a plan (plan != 0) and writes the
// header: date and time, the program's version, the product key and the
// install folder of UninstallRecord. The file is refused when it lies in the
// install folder, the program's folder or the preview folder, or when it or
// a folder above it is a link (removal/LogFile.h). Non-zero on success.
int OpenRemovalLog(const wchar_t* path, int plan);

// Non-zero while a log or plan is open.
int RemovalLogIsOpen();

// Non-zero when the run is a plan: removal steps decide but do not act.
int IsPlanRun();

// One line: what (L"file", L"folder", L"key", L"value", L"association",
// L"visual studio"), the subject (a path, key path, ...), the outcome and the
// platform's error code (0 for none), written with its system message text.
// Nothing happens while no log is open.
void LogRemovalAction(const wchar_t* what, const wchar_t* subject, LogOutcome outcome, DWORD error);

// A line of free text that explains the run's course ("note: ...").
void LogRemovalNote(const wchar_t* text);

// Writes the closing line with the exit code and closes the file.
void CloseRemovalLog(int exitCode);
