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

class WizardRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lays out the sample (after changes the test made to `sample`) and
    // starts its Uninstall.exe with the install folder as current folder.
    void StartUninstaller(const std::wstring& arguments = L"");
    std::wstring InstalledUninstaller() const { return InstallFolderOf(sample) + L"Uninstall.exe"; }
    // Presses a button and waits until the page has gone.
    void PressAndWaitGone(HWND page, int controlId);
    DWORD WaitForExitCode();

    SampleInstallation sample;
    ProcessDriver uninstaller;
};

}  // namespace qvtest
