// The repair launch in this process: the command line it forms and the
// program that Windows really starts from it.
#include <cderr.h>
#include <gtest/gtest.h>

#include "bench/Driver.h"
#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"
#include "wizard/MaintenancePage.h"
#include "wizard/RepairLaunch.h"
#include "wizard/UninstallRecord.h"

namespace {

using namespace qvtest;

// When the open-file dialog refuses its initial file name, Retry tries once
// more with the program path alone, or with no name; never after a cancel
// or any other failure, and never twice.
TEST(RepairFileDialog, ARefusedInitialNameIsTriedOnceMoreAsThePlainProgramPath) {
    const struct {
        const wchar_t* refused;
        DWORD error;
        const wchar_t* next;  // null: no second attempt
    } cases[] = {
        {L"\"C:\\Setup\\Repair.exe\" -x", FNERR_INVALIDFILENAME, L"C:\\Setup\\Repair.exe"},
        {L"\"C:\\Setup\\Repair.exe\"", FNERR_INVALIDFILENAME, L"C:\\Setup\\Repair.exe"},
        {L"\"C:\\Setup\\Repair.exe\" -x", 0, nullptr},  // the user cancelled
        {L"\"C:\\Setup\\Repair.exe\" -x", CDERR_DIALOGFAILURE, nullptr},
        {L"C:\\Setup\\Repair.exe -x <in", FNERR_INVALIDFILENAME, L""},
        {L"\"C:\\Set|up\\Repair.exe\" -x", FNERR_INVALIDFILENAME, L""},
        {L"\"C:\\Setup\\Repair.exe -x", FNERR_INVALIDFILENAME, L""},  // no closing quotation mark
        {L"", FNERR_INVALIDFILENAME, nullptr},                        // already the empty name
    };
    for (const auto& c : cases) {
        wchar_t next[260];
        wmemset(next, L'#', 260);
        const int again = InitialNameAfterRefusal(c.refused, c.error, next);
        EXPECT_EQ(again, c.next ? 1 : 0) << Narrow(c.refused) << " / " << c.error;
        if (c.next)
            EXPECT_STREQ(next, c.next) << Narrow(c.refused);
        else
            EXPECT_EQ(next[0], L'#') << "untouched: " << Narrow(c.refused);
    }
}

struct CommandCase {
    const wchar_t* program;
    const wchar_t* folder;
    const wchar_t* command;
};

TEST(RepairCommandLine, QuotesTheProgramAndKeepsTheArgumentsAsTheyStand) {
    const CommandCase cases[] = {
        {L"C:\\Program Files\\Quorvex\\Setup\\Repair.exe", L"C:\\Program Files\\Quorvex\\GlyphSmith",
         L"\"C:\\Program Files\\Quorvex\\Setup\\Repair.exe\" /r C:\\Program Files\\Quorvex\\GlyphSmith"},
        {L"C:\\Setup\\Repair.exe", L"", L"\"C:\\Setup\\Repair.exe\" /r "},
        {L"", L"D:\\GS", L"\"\" /r D:\\GS"},
    };
    for (const CommandCase& c : cases)
        EXPECT_STREQ(FormRepairCommandLine(c.program, c.folder).GetString(), c.command) << Narrow(c.program);
}

class LaunchRepairTest : public ::testing::Test {
protected:
    const std::wstring repairFolder = L"C:\\Program Files\\QvTest Launch";
    const std::wstring repairProgram = repairFolder + L"\\Repair.exe";
    const std::wstring planted = L"C:\\Program.exe";
    const std::wstring appPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QvTestLaunchHost.exe";
    std::wstring workFolder;
    wchar_t savedFolder[MAX_PATH] = L"";

    void SetUp() override {
        RemoveTree(repairFolder);
        ASSERT_TRUE(MakeFolders(repairFolder));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"FakeRepair.exe").c_str(), repairProgram.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(BuiltProgram(L"FakeRepair.exe").c_str(), planted.c_str(), FALSE));
        DeleteFileW((planted + L".log").c_str());
        DeleteRegTree(HKEY_LOCAL_MACHINE, appPaths);
        workFolder = FreshTestFolder(L"LaunchRepair");
        GetCurrentDirectoryW(MAX_PATH, savedFolder);
        SetCurrentDirectoryW(workFolder.c_str());
        UninstallRecord.RepairCommand = repairProgram.c_str();
        UninstallRecord.ProgramFileName = L"QvTestLaunchHost.exe";
    }

    void TearDown() override {
        SetCurrentDirectoryW(savedFolder);
        RemoveTree(repairFolder);
        RemoveTree(workFolder);
        DeleteFileW(planted.c_str());
        DeleteFileW((planted + L".log").c_str());
        DeleteRegTree(HKEY_LOCAL_MACHINE, appPaths);
    }

    std::string WaitForRecord() {
        const std::wstring log = repairProgram + L".log";
        if (!WaitUntil([&] { return PathExists(log); })) return "(repair program did not run)";
        return ReadFileBytes(log);
    }
};

TEST_F(LaunchRepairTest, StartsTheProgramUnderAFolderWithBlanksNotAPlantedProgram) {
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, appPaths, L"Path", L"C:\\Program Files\\Quorvex\\GlyphSmith"));
    EXPECT_EQ(LaunchRepair(), 1);
    EXPECT_EQ(WaitForRecord(), "\"" + Narrow(repairProgram) + "\" /r C:\\Program Files\\Quorvex\\GlyphSmith\n" +
                                   Narrow(workFolder) + "\n");
    EXPECT_FALSE(PathExists(planted + L".log"));
}

TEST_F(LaunchRepairTest, AMissingAppPathsFolderLeavesThePathPartEmpty) {
    EXPECT_EQ(LaunchRepair(), 1);
    EXPECT_EQ(WaitForRecord(), "\"" + Narrow(repairProgram) + "\" /r \n" + Narrow(workFolder) + "\n");
    EXPECT_FALSE(PathExists(planted + L".log"));
}

TEST_F(LaunchRepairTest, ACommandTooLongForItsBufferIsNotStartedCutShort) {
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, appPaths, L"Path", std::wstring(120, L'f')));
    UninstallRecord.RepairCommand = (repairProgram + std::wstring(400, L' ')).c_str();
    EXPECT_EQ(LaunchRepair(), 0);
    EXPECT_FALSE(PathExists(planted + L".log"));
    EXPECT_FALSE(PathExists(repairProgram + L".log"));
}

}  // namespace
