// The command line of an unattended run, parsed by CommandLineToArgvW's
// rules: what each line sets, and the lines that are refused.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/CommandLine.h"
#include "bench/TestFiles.h"

using namespace qvtest;

namespace {

struct ParseCase {
    const wchar_t* tail;  // after the program's name
    int understood;
    int quiet;
    int plan;
    const wchar_t* file;
    int help = 0;
};

TEST(CommandLine, SetsTheSwitchesOrRefusesTheLine) {
    const ParseCase cases[] = {
        {L"", 1, 0, 0, L""},
        {L"/quiet", 1, 1, 0, L""},
        {L"/S", 1, 1, 0, L""},
        {L"/s /QUIET /Quiet", 1, 1, 0, L""},
        {L"/log C:\\u.log", 1, 0, 0, L"C:\\u.log"},
        {L"/quiet /LOG \"C:\\Admin Logs\\u.log\"", 1, 1, 0, L"C:\\Admin Logs\\u.log"},
        {L"/S /Log relative.log", 1, 1, 0, L"relative.log"},
        {L"/plan C:\\p.txt", 1, 1, 1, L"C:\\p.txt"},
        {L"/?", 1, 0, 0, L"", 1},
        {L"/H /quiet", 1, 1, 0, L"", 1},
        {L"/Help /log C:\\u.log", 1, 0, 0, L"C:\\u.log", 1},
        {L"/quiet /PLAN \"C:\\a b\\p.txt\"", 1, 1, 1, L"C:\\a b\\p.txt"},
        // The switches of msiexec, NSIS and Inno Setup.
        {L"/qn /norestart", 1, 1, 0, L""},
        {L"/q /passive", 1, 1, 0, L""},
        {L"/S /NORESTART _?=C:\\Program Files\\Quorvex", 1, 1, 0, L""},
        {L"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /SP- /NCRC", 1, 1, 0, L""},
        {L"/silent /LOG=C:\\u.log", 1, 1, 0, L"C:\\u.log"},
        {L"/quiet /log:\"C:\\a b\\u.log\"", 1, 1, 0, L"C:\\a b\\u.log"},
        {L"/qn /l*v C:\\u.log", 1, 1, 0, L"C:\\u.log"},
        {L"/qn /Lv+ C:\\u.log", 1, 1, 0, L"C:\\u.log"},
        // Refused, but a quiet run stays quiet.
        {L"/qn /l*z C:\\u.log", 0, 1, 0, L""},
        {L"/qn /LOG=", 0, 1, 0, L""},
        {L"/quiet /log:a.log /l*v b.log", 0, 1, 0, L"a.log"},
        {L"/bogus", 0, 0, 0, L""},
        {L"/quiet /bogus", 0, 1, 0, L""},
        {L"-quiet", 0, 0, 0, L""},
        {L"quiet", 0, 0, 0, L""},
        {L"/quiet=1", 0, 0, 0, L""},
        {L"/log", 0, 0, 0, L""},
        {L"/S /log", 0, 1, 0, L""},
        {L"/log \"\"", 0, 0, 0, L""},
        {L"/log /quiet", 0, 1, 0, L""},
        {L"/plan", 0, 1, 1, L""},
        {L"/log a.log /log b.log", 0, 0, 0, L"a.log"},
        {L"/log a.log /plan b.txt", 0, 1, 1, L"a.log"},
        {L"\"\"", 0, 0, 0, L""},
        {L"/quiet \"unbalanced", 0, 1, 0, L""},
        {L"/qu\u0131et", 0, 0, 0, L""},  // a dotless i is no "i"
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(Narrow(c.tail));
        CRunOptions options;
        CString problem(L"canary");
        const std::wstring line = std::wstring(L"\"C:\\Program Files\\Quorvex\\Uninstall.exe\" ") + c.tail;
        EXPECT_EQ(c.understood, ParseCommandLine(line.c_str(), options, problem));
        EXPECT_EQ(c.understood == 1, problem.IsEmpty()) << Narrow(problem.GetString());
        EXPECT_EQ(c.quiet, options.Quiet);
        EXPECT_EQ(c.plan, options.Plan);
        EXPECT_EQ(std::wstring(c.file), options.LogPath.GetString());
        EXPECT_EQ(c.help, options.Help);
    }
}

TEST(CommandLine, OddLinesNeverCrash) {
    const struct {
        std::wstring line;
        int understood;
    } cases[] = {{L"", 1},
                 {L"\"", 1},
                 {L"Uninstall.exe", 1},
                 {L"Uninstall.exe " + std::wstring(40000, L'/'), 0},
                 {L"Uninstall.exe /log " + std::wstring(40000, L'x'), 1},
                 {L"Uninstall.exe \\\\\\\"\\\" /log \"\\\"", 0},
                 {L"Uninstall.exe \t\r\n/quiet\x01\x7f /log \xD800", 0}};
    for (const auto& c : cases) {
        CRunOptions options;
        CString problem;
        EXPECT_EQ(c.understood, ParseCommandLine(c.line.c_str(), options, problem)) << c.line.size();
        EXPECT_EQ(c.understood == 1, problem.IsEmpty()) << c.line.size();
    }
}

}  // namespace
