// A sample GlyphSmith installation with the freshly built Uninstall.exe in
// it, and the uninstaller started from there the way a user starts it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/BrokenResources.h"
#include "bench/Driver.h"
#include "bench/PageDriver.h"
#include "bench/SampleInstallation.h"
#include "bench/Snapshot.h"

namespace qvtest {

// A run that nobody answers: whether and how the process ended, and every
// window it showed (class and title), which ended the watch.
struct WatchedRun {
    bool exited = false;
    DWORD exitCode = 0xDEADBEEF;
    std::vector<std::wstring> windows;
};

// The lines, one after the other, each ended by a line feed.
std::string Joined(const std::vector<std::wstring>& lines);

class WizardRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lays out the sample (after changes the test made to `sample`).
    void LayOut();
    // Lays out the sample and starts its Uninstall.exe with the install
    // folder as current folder.
    void StartUninstaller(const std::wstring& arguments = L"");
    // Starts the laid-out sample's Uninstall.exe and watches its top-level
    // windows, visible or not, until it ends; it must end, and show no
    // window at any point.
    WatchedRun RunUnattended(const std::wstring& arguments);
    std::wstring InstalledUninstaller() const { return InstallFolderOf(sample) + L"Uninstall.exe"; }
    // Presses a button and waits until the page has gone.
    void PressAndWaitGone(HWND page, int controlId);
    DWORD WaitForExitCode();
    // The uninstaller ends with `exitCode` and has changed nothing: the
    // sample is as `before` (its SnapshotOf), and the uninstaller is still
    // there without a self-deletion batch.
    void ExpectEndedWithNothingChanged(DWORD exitCode, const std::vector<std::wstring>& before);

    SampleInstallation sample;
    ProcessDriver uninstaller;
};

}  // namespace qvtest
