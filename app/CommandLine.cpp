#include "app/CommandLine.h"

#include <shellapi.h>
#include <windows.h>
#include <wchar.h>

#include "support/Handles.h"
#include "support/LibrarySearch.h"

CRunOptions RunOptions;

const wchar_t CommandLineUsage[] =
    L"Uninstall.exe [/quiet | /qn | /S | /VERYSILENT] [/log <file> | /plan <file>] [/?]";

namespace {

// Ordinal comparison that ignores the case of ASCII letters: the switches are
// ASCII, and a linguistic comparison could match look-alikes.
bool IsSwitch(const wchar_t* argument, const wchar_t* name) {
    for (;; ++argument, ++name) {
        wchar_t a = *argument;
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (a != *name) return false;
        if (a == L'\0') return true;
    }
}

// Whether anything but blanks follows the program's name, which
// CommandLineToArgvW takes up to the next quotation mark when the text
// starts with one, else up to the first blank or tab.
bool HoldsArguments(const wchar_t* commandLine) {
    const wchar_t* c = commandLine;
    if (*c == L'"') {
        do ++c;
        while (*c && *c != L'"');
        if (*c) ++c;
    } else {
        while (*c && *c != L' ' && *c != L'\t') ++c;
    }
    for (; *c; ++c)
        if (*c != L' ' && *c != L'\t') return true;
    return false;
}

class CArgumentList {
public:
    explicit CArgumentList(const wchar_t* commandLine) {
        // An empty text would make CommandLineToArgvW name this program:
        // it holds no argument. A program's name alone holds none either,
        // and shell32 is loaded only to split a line that has arguments.
        empty_ = !commandLine || !commandLine[0] || !HoldsArguments(commandLine);
        if (empty_) return;
        using SplitFunction = LPWSTR*(WINAPI*)(LPCWSTR, int*);
        if (const auto split = SystemFunction<SplitFunction>(L"shell32.dll", "CommandLineToArgvW"))
            arguments_.Reset(split(commandLine, &count_));
        if (!arguments_) count_ = 0;
    }
    bool IsValid() const { return empty_ || arguments_.IsValid(); }
    int Count() const { return count_; }
    const wchar_t* At(int index) const { return arguments_.Get()[index]; }

private:
    // One block from LocalAlloc holding the array and the texts.
    CLocalMemory<wchar_t**> arguments_;
    int count_ = 0;
    bool empty_ = false;
};

struct CParse {
    CRunOptions& options;
    CString& problem;
    void Refuse(const CString& text) {
        if (problem.IsEmpty()) problem = text;
    }
};

// Whether the argument starts with `prefix` (lower case), ignoring the
// case of ASCII letters.
bool StartsWithSwitch(const wchar_t* argument, const wchar_t* prefix) {
    for (; *prefix; ++argument, ++prefix) {
        wchar_t a = *argument;
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (a != *prefix) return false;
    }
    return true;
}

bool IsAnyOf(const wchar_t* argument, const wchar_t* const* names) {
    for (; *names; ++names)
        if (IsSwitch(argument, *names)) return true;
    return false;
}

const wchar_t* const QuietSwitches[] = {L"/quiet", L"/qn", L"/q", L"/passive", L"/s", L"/silent", L"/verysilent",
                                        nullptr};
const wchar_t* const IgnoredSwitches[] = {L"/norestart", L"/suppressmsgboxes", L"/ncrc", L"/sp-", nullptr};
const wchar_t* const HelpSwitches[] = {L"/?", L"/h", L"/help", nullptr};

// msiexec's "/l" followed by its logging flags ("/l*v", "/lv", "/l+!"):
// all are taken as "write a log".
bool IsMsiLogSwitch(const wchar_t* argument) {
    if (!StartsWithSwitch(argument, L"/l")) return false;
    for (const wchar_t* c = argument + 2; *c; ++c) {
        wchar_t flag = *c;
        if (flag >= L'A' && flag <= L'Z') flag = static_cast<wchar_t>(flag - L'A' + L'a');
        if (!wcschr(L"iwearucmopvx+!*", flag)) return false;
    }
    return true;
}

void TakeFile(CParse& parse, const wchar_t* name, const wchar_t* file) {
    if (!parse.options.LogPath.IsEmpty())
        parse.Refuse(CString(name) + L" after another log or plan: only one file may be named");
    else if (!file || file[0] == L'\0')
        parse.Refuse(CString(name) + L" without a file name");
    else
        parse.options.LogPath = file;
}

// A log switch or /plan and the file after it; returns the index of the
// last argument used.
int TakeFileSwitch(CParse& parse, const CArgumentList& list, int index) {
    const wchar_t* name = list.At(index);
    const int next = index + 1;
    if (next >= list.Count() || list.At(next)[0] == L'/') {
        TakeFile(parse, name, nullptr);
        return index;
    }
    TakeFile(parse, name, list.At(next));
    return next;
}

}  // namespace

int ParseCommandLine(const wchar_t* commandLine, CRunOptions& options, CString& problem) {
    options = CRunOptions();
    problem.Empty();
    CParse parse{options, problem};
    const CArgumentList list(commandLine);
    if (!list.IsValid()) {
        parse.Refuse(L"the command line cannot be read");
        return 0;
    }
    // The first argument names the program.
    for (int index = 1; index < list.Count(); ++index) {
        const wchar_t* argument = list.At(index);
        if (IsAnyOf(argument, QuietSwitches)) {
            options.Quiet = 1;
        } else if (IsAnyOf(argument, IgnoredSwitches)) {
            continue;
        } else if (IsAnyOf(argument, HelpSwitches)) {
            options.Help = 1;
        } else if (StartsWithSwitch(argument, L"_?=")) {
            // NSIS's "_?=<folder>" is the last argument and may hold blanks
            // unquoted: it and what follows are ignored.
            break;
        } else if (IsSwitch(argument, L"/log") || IsMsiLogSwitch(argument)) {
            index = TakeFileSwitch(parse, list, index);
        } else if (StartsWithSwitch(argument, L"/log=") || StartsWithSwitch(argument, L"/log:")) {
            TakeFile(parse, argument, argument + 5);
        } else if (IsSwitch(argument, L"/plan")) {
            options.Quiet = 1;
            options.Plan = 1;
            index = TakeFileSwitch(parse, list, index);
        } else {
            parse.Refuse(CString(L"unknown argument \"") + argument + L"\"");
        }
    }
    return problem.IsEmpty() ? 1 : 0;
}
