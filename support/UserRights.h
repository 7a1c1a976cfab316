// Acting with the signed-in user's own rights while the elevated program
// works on paths that the user's unelevated programs choose.
#pragma once

#include <windows.h>

// For the life of the scope the calling thread impersonates the user whose
// elevated token the process carries, unelevated:
// - the shell's token, when it belongs to the same user and logon session as
//   the linked (unelevated) token and is not elevated itself;
// - otherwise the linked token as the system hands it out. Without
//   SeTcbPrivilege that is an identification token, with which every file
//   access of the thread fails: the step then changes nothing.
// A process without a linked token (UAC off, a system before Vista) or with
// an unelevated one already runs with the user's rights and is left alone.
// Where the token's elevation cannot be read on a system that has elevation,
// or the elevated token's linked token cannot be had, the step may not act.
class CUserRightsScope {
public:
    CUserRightsScope();
    ~CUserRightsScope();
    CUserRightsScope(const CUserRightsScope&) = delete;
    CUserRightsScope& operator=(const CUserRightsScope&) = delete;

    // Non-zero when the step may go on: the thread now carries the user's
    // token, or the process needs none.
    int MayAct() const { return mayAct_; }

private:
    int mayAct_ = 0;
    bool impersonating_ = false;
};

// How the scope reads the process token; tests replace it to make a read fail.
extern BOOL(WINAPI* UserRightsTokenQuery)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
