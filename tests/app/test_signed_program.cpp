// The program as tools/sign leaves it: tests/app/signed-program signs a copy
// of the freshly built Uninstall.exe into the build's "signing" folder with a
// certificate made for the run, then runs this. Put in a sample
// installation, the signed copy starts as the unsigned one does and its
// wizard's first page opens.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "WizardRun.h"
#include "bench/TestFiles.h"

namespace qvtest {
namespace {

// The certificate table's entry in the data directories of a PE file (PE32
// or PE32+): the signature's place in the file and its size; zero when the
// file carries none or is no PE file.
IMAGE_DATA_DIRECTORY CertificateTableOf(const std::string& bytes) {
    IMAGE_DATA_DIRECTORY none = {};
    IMAGE_DOS_HEADER dos;
    if (bytes.size() < sizeof dos) return none;
    memcpy(&dos, bytes.data(), sizeof dos);
    const size_t header = static_cast<size_t>(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || header + sizeof(IMAGE_NT_HEADERS64) > bytes.size()) return none;
    IMAGE_NT_HEADERS32 pe32;
    IMAGE_NT_HEADERS64 pe64;
    memcpy(&pe32, bytes.data() + header, sizeof pe32);
    memcpy(&pe64, bytes.data() + header, sizeof pe64);
    if (pe32.Signature != IMAGE_NT_SIGNATURE) return none;
    if (pe32.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return pe32.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    if (pe64.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return pe64.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    return none;
}

TEST_F(WizardRun, TheSignedProgramOpensItsFirstPage) {
    const std::wstring signedCopy = BuiltProgram(L"signing\\Uninstall.exe");
    const std::string bytes = ReadFileBytes(signedCopy);
    ASSERT_FALSE(bytes.empty()) << Narrow(signedCopy) << " is made by tests/app/signed-program, which runs this";
    const IMAGE_DATA_DIRECTORY table = CertificateTableOf(bytes);
    ASSERT_NE(0u, table.Size) << "the copy carries a signature";
    EXPECT_EQ(bytes.size(), static_cast<size_t>(table.VirtualAddress) + table.Size) << "the signature ends the file";

    sample.uninstallerSource = signedCopy;
    ASSERT_NO_FATAL_FAILURE(StartUninstaller());
    EXPECT_EQ(bytes, ReadFileBytes(InstalledUninstaller())) << "the installation holds the signed copy";
    EXPECT_NE(nullptr, WaitForPage(uninstaller, 101));
}

}  // namespace
}  // namespace qvtest
