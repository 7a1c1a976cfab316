// The process's library search: a library planted beside the program is
// never loaded once the first system library has been loaded late.
// Wine loads its own system libraries wherever the search leads, so what
// shows here is the search order itself, with a library of our own.
#include <gtest/gtest.h>
#include <windows.h>

#include "bench/TestFiles.h"
#include "support/LibrarySearch.h"

namespace {

TEST(LibrarySearchTest, APlantedLibraryIsNotLoadedAfterTheFirstLateLoad) {
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring planted = program;
    planted = planted.substr(0, planted.rfind(L'\\')) + L"\\QvPlanted.dll";
    ASSERT_TRUE(qvtest::PathExists(planted)) << "the planted library";

    HMODULE found = LoadLibraryW(L"QvPlanted.dll");
    ASSERT_NE(nullptr, found) << "beside the program it is found while the search is open";
    FreeLibrary(found);
    ASSERT_EQ(nullptr, GetModuleHandleW(L"QvPlanted.dll"));

    HMODULE dialogs = LoadSystemLibrary(L"comdlg32.dll");
    EXPECT_NE(nullptr, dialogs);
    EXPECT_EQ(nullptr, LoadLibraryW(L"QvPlanted.dll")) << "the search is limited to the system folder";
    EXPECT_EQ(1, RestrictLibrarySearch());
    if (dialogs) FreeLibrary(dialogs);
}

}  // namespace
