// Page 103, "Uninstalling": starts the removal by itself half a second after
// it opens (the tenth tick of a 50 ms timer), runs the removal steps one
// after another with the progress bar moving between them, and ends with 1.
// Its Cancel button and close box are inert: a half-done removal helps no one.
#pragma once

#include <windows.h>

// The private command that starts the removal (whole wParam, lParam 0).
constexpr WPARAM StartRemovalCommand = 2289;
// The progress bar of the page.
constexpr int ProgressBarId = 1016;
// Timer ticks before the removal starts.
constexpr unsigned StartTicks = 10;

// Ticks seen so far in this process; never reset by the program, so the
// timer starts at most one removal per process.
extern unsigned StartCountdown;

// The page's parameter (DialogBoxParamW's last argument) is the
// CRemovalRun* that the removal acts for and logs through; without one it
// acts without a log. The progress bar moves between the removal's steps,
// pending messages are pumped and the pauses kept.
INT_PTR CALLBACK UninstallPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Dispatches at most 10 pending messages of this thread without waiting.
void PumpMessages();
