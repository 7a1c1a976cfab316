// SampleInstall.exe: lays out the sample GlyphSmith installation in the Wine
// prefix it runs in, for tools/demo.
//   SampleInstall.exe <Uninstall.exe to copy in>
#include <cstdio>

#include "bench/SampleInstallation.h"

int wmain(int argc, wchar_t** argv) {
    qvtest::SampleInstallation sample;
    if (argc > 1) sample.uninstallerSource = argv[1];
    qvtest::RemoveSampleInstallation(sample);
    std::wstring error;
    if (!qvtest::LayOutSampleInstallation(sample, &error)) {
        std::fwprintf(stderr, L"SampleInstall: %ls\n", error.c_str());
        return 1;
    }
    std::wprintf(L"installed in %ls\npreview folder %ls\n", qvtest::InstallFolderOf(sample).c_str(),
                 qvtest::PreviewFolderOf(sample).c_str());
    return 0;
}
