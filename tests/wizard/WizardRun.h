// A sample GlyphSmith installation with the freshly built Uninstall.exe in
// it, and the uninstaller started from there the way a user starts it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/Driver.h"
#include "tools/sample_install/SampleInstallation.h"
#include "wizard/PageDriver.h"

namespace qvtest {

// Everything the uninstaller may touch, as text lines: the files and folders
// of the installation and the preview folder, and the product's registry
// entries with their values. Equal snapshots mean nothing was changed.
std::vector<std::wstring> SnapshotOf(const SampleInstallation& sample);

// A copy of an executable whose resource `id` of `type` is replaced by the
// given bytes: the failures that the real program meets when one of its
// resources cannot be used.
bool CopyWithReplacedResource(const std::wstring& source, const std::wstring& target, const wchar_t* type, int id,
                              const std::vector<BYTE>& data);
// A dialog template that cannot be made: its one control has a window class
// that nobody registered.
std::vector<BYTE> UncreatableDialogTemplate();
// A menu template of a version that no menu loader accepts.
std::vector<BYTE> UnloadableMenuTemplate();

class WizardRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lays out the sample (after changes the test made to `sample`) and
    // starts its Uninstall.exe with the install folder as current folder.
    void StartUninstaller();
    std::wstring InstalledUninstaller() const { return InstallFolderOf(sample) + L"Uninstall.exe"; }
    // Presses a button and waits until the page has gone.
    void PressAndWaitGone(HWND page, int controlId);
    DWORD WaitForExitCode();

    SampleInstallation sample;
    ProcessDriver uninstaller;
};

}  // namespace qvtest
