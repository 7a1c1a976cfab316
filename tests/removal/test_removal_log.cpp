// The log and plan writer: its lines, written through at once, and the
// creation of its file, which never follows a planted link, never truncates
// what lies elsewhere and refuses the folders the run removes.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "RemovalBench.h"
#include "bench/TestFiles.h"
#include "removal/LogFile.h"
#include "removal/RemovalRun.h"
#include "wizard/UninstallRecord.h"

using namespace qvtest;

namespace {

const char ByteOrderMark[] = "\xEF\xBB\xBF";

class RemovalLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = FreshTestFolder(L"RemovalLog");
        UninstallRecord.ProductKey = L"QvTest Log";
        UninstallRecord.InstallFolder = (root_ + L"\\Install\\").c_str();
        UninstallRecord.ExeFolder = (root_ + L"\\Install\\").c_str();
        UninstallRecord.PreviewFolder = (root_ + L"\\Preview").c_str();
        ASSERT_TRUE(MakeFolders(root_ + L"\\Install\\Deep"));
        ASSERT_TRUE(MakeFolders(root_ + L"\\Preview\\A"));
        ASSERT_TRUE(MakeFolders(root_ + L"\\Logs"));
        ASSERT_TRUE(MakeFolders(root_ + L"\\Victim"));
        ASSERT_TRUE(WriteFileBytes(victim_, "victim's own bytes\r\n"));
        victimBefore_ = StateOf(victim_);
    }
    void TearDown() override {
        TestRun().CloseLog(0);
        LogFileStepHook = nullptr;
        for (const std::wstring& link : {root_ + L"\\Linked", root_ + L"\\Logs", root_ + L"\\Logs\\folder-link.log",
                                         root_ + L"\\Logs\\file-link.log", root_ + L"\\Logs\\taken.log.1.new"})
            RemoveLink(link);
        RemoveTree(root_);
        UninstallRecord.ProductKey.Empty();
        UninstallRecord.InstallFolder.Empty();
        UninstallRecord.ExeFolder.Empty();
        UninstallRecord.PreviewFolder.Empty();
    }
    std::wstring root_;
    std::wstring victim_ = L"C:\\QvTest\\RemovalLog\\Victim\\victim.txt";
    FileState victimBefore_;
};

TEST_F(RemovalLogTest, HeaderActionLinesAndClosingLine) {
    const std::wstring path = root_ + L"\\Logs\\u.log";
    ASSERT_EQ(1, OpenTestLog(path.c_str(), 0));
    EXPECT_EQ(1, TestRun().IsLogged());
    EXPECT_EQ(0, TestRun().IsPlan());
    EXPECT_EQ(0, OpenTestLog((root_ + L"\\Logs\\second.log").c_str(), 0)) << "one log at a time";
    TestRun().Log(L"file", L"C:\\App\\a.dll", LogOutcome::Removed, 0);
    TestRun().Log(L"key", L"HKLM\\SOFTWARE\\Quorvex\\QvTest Log", LogOutcome::Absent, ERROR_FILE_NOT_FOUND);
    TestRun().Log(L"folder", L"C:\\App", LogOutcome::Kept, ERROR_DIR_NOT_EMPTY);
    TestRun().Log(L"value", L"line\r\nbreak\tand \x263A \xD83D\xDE00", LogOutcome::WouldRemove, 0);
    TestRun().Log(L"association", L".qvg", LogOutcome::WouldKeep, ERROR_ACCESS_DENIED);
    TestRun().Note(L"two\nlines");
    TestRun().CloseLog(ERROR_BUSY);
    EXPECT_EQ(0, TestRun().IsLogged());

    const std::string text = ReadFileBytes(path);
    ASSERT_EQ(0u, text.find(ByteOrderMark));
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> split;
        size_t start = 3;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            split.push_back(text.substr(start, end - start));
        EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
        return split;
    }();
    // Each code with the system's text for it (Wine's English texts), its
    // line break dropped.
    // Lines that depend on the machine and the moment are matched by shape.
    const std::vector<std::string> expected = {
        "GlyphSmith uninstall log",
        R"(date: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d)",
        "version: 6\\.5\\.0\\.0",
        R"(program: [A-Z]:\\.*test_removal_log\.exe)",
        "command line: .*test_removal_log.*",
        "mode: wizard",
        R"(account: .+\\.+)",
        "computer: .+",
        "product key: QvTest Log",
        "display name: .*",
        R"(install folder: C:\\QvTest\\RemovalLog\\Install\\)",
        "preview folder: .*",
        R"(removed: file "C:\\App\\a\.dll" - error 0: Success\.)",
        R"(absent: key "HKLM\\SOFTWARE\\Quorvex\\QvTest Log" - error 2: File not found\.)",
        R"(kept: folder "C:\\App" - error 145: Directory is not empty\.)",
        "would remove: value \"line  break and \xE2\x98\xBA \xF0\x9F\x98\x80\" - error 0: Success\\.",
        R"(would keep: association "\.qvg" - error 5: Access denied\.)",
        "note: two lines",
        R"(end: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d)",
        "totals: removed 1, absent 1, kept 1, skipped 0",
        R"(exit code 170: Visual Studio or GlyphSmith is running\.)",
    };
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i] << "\n  !~ " << expected[i];
}

TEST_F(RemovalLogTest, EachLineReachesTheFileAtOnce) {
    const std::wstring path = root_ + L"\\Logs\\plan.txt";
    ASSERT_EQ(1, OpenTestLog(path.c_str(), 1));
    EXPECT_EQ(1, TestRun().IsPlan());
    EXPECT_EQ(
        0u, ReadFileBytes(path).find(std::string(ByteOrderMark) + "GlyphSmith uninstall plan: nothing is removed\r\n"));
    for (int i = 0; i < 3; ++i) {
        const std::wstring subject = L"C:\\App\\file" + std::to_wstring(i);
        TestRun().Log(L"file", subject.c_str(), LogOutcome::WouldRemove, 0);
        // Read by another handle while the writer still holds the file.
        const std::string text = ReadFileBytes(path);
        EXPECT_NE(std::string::npos, text.find("would remove: file \"" + Narrow(subject) + "\"")) << i;
        EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    }
    TestRun().CloseLog(0);
    EXPECT_EQ(0, TestRun().IsPlan());
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("exit code 0: "));
}

// The named file is replaced by a new one: its old bytes go, and a link or a
// hard link at the name never leads the writer to the file behind it.
TEST_F(RemovalLogTest, ReplacesTheNamedEntryButNothingBehindIt) {
    const std::wstring logs = root_ + L"\\Logs\\";
    ASSERT_TRUE(WriteFileBytes(logs + L"old.log",
                               "an earlier run's log, longer than the new header will be " + std::string(4000, 'x')));
    ASSERT_TRUE(CreateHardLinkW((logs + L"hard.log").c_str(), victim_.c_str(), nullptr));
    ASSERT_TRUE(PlantLink(logs + L"file-link.log", victim_));
    ASSERT_TRUE(PlantLink(logs + L"taken.log.1.new", victim_));
    for (const wchar_t* name : {L"old.log", L"hard.log", L"file-link.log", L"taken.log", L"new.log"}) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring path = logs + name;
        const int opened = OpenTestLog(path.c_str(), 0);
        TestRun().CloseLog(0);
        EXPECT_EQ(victimBefore_, StateOf(victim_)) << "the file behind the name is untouched";
        // Windows refuses a link at the name; Wine cannot tell a link to a
        // file from the file, and the name is replaced.
        if (std::wstring(name) == L"file-link.log" && !opened) continue;
        ASSERT_EQ(1, opened);
        const std::string text = ReadFileBytes(path);
        EXPECT_EQ(0u, text.find(std::string(ByteOrderMark) + "GlyphSmith uninstall log\r\n"));
        EXPECT_EQ(std::string::npos, text.find("earlier")) << "the old bytes are gone";
    }
    const std::vector<std::wstring> left = {L"file-link.log", L"hard.log",  L"new.log",
                                            L"old.log",       L"taken.log", L"taken.log.1.new"};
    EXPECT_EQ(left, ListTree(logs)) << "no new file is left behind";
}

TEST_F(RemovalLogTest, RefusesFoldersLinksDevicesAndTheFoldersTheRunRemoves) {
    ASSERT_TRUE(PlantLink(root_ + L"\\Linked", root_ + L"\\Victim"));
    ASSERT_TRUE(PlantLink(root_ + L"\\Logs\\folder-link.log", root_ + L"\\Victim"));
    ASSERT_TRUE(IsMarkedAsLink(root_ + L"\\Linked"));
    const std::vector<std::wstring> refused = {
        root_ + L"\\Linked\\u.log",                // below a folder link
        root_ + L"\\Logs\\folder-link.log",        // a folder link itself
        root_ + L"\\Logs",                         // a folder
        root_ + L"\\Logs\\",                       // no file name
        root_ + L"\\Missing\\u.log",               // no such folder
        root_ + L"\\Install\\u.log",               // the install folder
        root_ + L"\\Install\\Deep\\u.log",         // below it
        root_ + L"\\INSTALL\\.\\Deep\\..\\u.log",  // the same, spelt otherwise
        root_ + L"\\Preview\\A\\u.log",            // the preview folder
        root_ + L"\\Logs\\u.log:stream",           // a stream
        root_ + L"\\Logs\\u*.log",                 // a wildcard
        L"\\\\.\\NUL",
        L"NUL",
        L"\\\\?\\C:\\QvTest\\RemovalLog\\Logs\\u.log",
        L"C:\\",
        L"",
    };
    for (const std::wstring& path : refused) {
        EXPECT_EQ(0, OpenTestLog(path.c_str(), 0)) << Narrow(path);
        EXPECT_EQ(0, TestRun().IsLogged());
        EXPECT_EQ(0, TestRun().IsPlan());
    }
    EXPECT_EQ(0, OpenTestLog(nullptr, 1));
    EXPECT_EQ(std::vector<std::wstring>{L"victim.txt"}, ListTree(root_ + L"\\Victim"));
    EXPECT_EQ(victimBefore_, StateOf(victim_));
    EXPECT_EQ(std::vector<std::wstring>{L"Deep\\"}, ListTree(root_ + L"\\Install"));
    EXPECT_EQ(std::vector<std::wstring>{L"A\\"}, ListTree(root_ + L"\\Preview"));
    // The same folders with the run's folders elsewhere are fine.
    UninstallRecord.InstallFolder.Empty();
    UninstallRecord.ExeFolder.Empty();
    UninstallRecord.PreviewFolder = L"C:\\";
    ASSERT_EQ(1, OpenTestLog((root_ + L"\\Install\\Deep\\u.log").c_str(), 0));
    TestRun().CloseLog(0);
    ASSERT_EQ(1, OpenTestLog((root_ + L"\\Preview\\A\\u.log").c_str(), 0));
}

// The moments between the hold of the folders and the creation of the new
// file, and between the creation and the rename: the log's folder is to be
// renamed away and a link to another folder put in its place, where a file
// waits under the new file's name. The folders are held open without delete
// sharing, so the rename is refused; nothing where the link would point is
// made or replaced, and the log takes its name.
struct SwapAt {
    LogFileStep step;
    std::wstring folder, moved, target;
    bool reached = false, renameRefused = false;
} Swap;
void SwapTheLogFolder(LogFileStep step, const wchar_t* folder) {
    if (step != Swap.step || Swap.folder != folder || Swap.reached) return;
    Swap.reached = true;
    Swap.renameRefused = !MoveFileW(folder, Swap.moved.c_str());
    if (!Swap.renameRefused) PlantLink(folder, Swap.target);
}

TEST_F(RemovalLogTest, TheFolderCannotBeSwappedWhileTheFileIsMade) {
    const std::wstring logs = root_ + L"\\Logs", victimFolder = root_ + L"\\Victim";
    const std::wstring waiting = victimFolder + L"\\victim.txt.1.new";
    ASSERT_TRUE(WriteFileBytes(waiting, "a file that waits under the new file's name\r\n"));
    const FileState waitingBefore = StateOf(waiting);
    for (const LogFileStep step : {LogFileStep::Held, LogFileStep::Created}) {
        SCOPED_TRACE(step == LogFileStep::Held ? "before the creation" : "before the rename");
        Swap = {step, logs, logs + L".moved", victimFolder};
        LogFileStepHook = SwapTheLogFolder;
        const int opened = OpenTestLog((logs + L"\\victim.txt").c_str(), 0);
        TestRun().CloseLog(0);
        LogFileStepHook = nullptr;
        ASSERT_TRUE(Swap.reached);
        EXPECT_TRUE(Swap.renameRefused) << "the held folder was renamed";
        EXPECT_EQ(victimBefore_, StateOf(victim_)) << "the file where the link points is untouched";
        EXPECT_EQ(waitingBefore, StateOf(waiting));
        EXPECT_EQ((std::vector<std::wstring>{L"victim.txt", L"victim.txt.1.new"}), ListTree(victimFolder));
        ASSERT_EQ(1, opened);
        EXPECT_EQ(0u, ReadFileBytes(logs + L"\\victim.txt").find(ByteOrderMark));
        EXPECT_EQ(std::vector<std::wstring>{L"victim.txt"}, ListTree(logs)) << "no new file is left behind";
    }
}

}  // namespace
