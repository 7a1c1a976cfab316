#include "support/UserRights.h"

#include "support/Handles.h"
#include "support/VersionProbes.h"

namespace {

// Fixed-size reads of the token facts compared below; a user SID is at most
// 68 bytes, so 128 bytes hold any TOKEN_USER.
struct TokenFacts {
    bool known = false;
    bool elevated = true;
    LUID logonSession = {};
    BYTE user[128] = {};
};

TokenFacts FactsOf(HANDLE token) {
    TokenFacts facts;
    TOKEN_ELEVATION elevation = {};
    TOKEN_STATISTICS statistics = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return facts;
    if (!GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size)) return facts;
    if (!GetTokenInformation(token, TokenUser, facts.user, sizeof facts.user, &size)) return facts;
    facts.known = true;
    facts.elevated = elevation.TokenIsElevated != 0;
    facts.logonSession = statistics.AuthenticationId;
    return facts;
}

// The token of the shell process (the desktop's explorer), when it belongs to
// the same user and logon session as `linked` and is not elevated.
CKernelHandle MatchingShellToken(const TokenFacts& linked) {
    DWORD processId = 0;
    const HWND shell = GetShellWindow();
    if (!shell || !GetWindowThreadProcessId(shell, &processId) || !processId) return CKernelHandle();
    CKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    CKernelHandle token;
    if (!process || !OpenProcessToken(process.Get(), TOKEN_QUERY | TOKEN_DUPLICATE, token.Receive()))
        return CKernelHandle();
    const TokenFacts facts = FactsOf(token.Get());
    if (!facts.known || facts.elevated) return CKernelHandle();
    const PSID shellUser = reinterpret_cast<const TOKEN_USER*>(facts.user)->User.Sid;
    const PSID linkedUser = reinterpret_cast<const TOKEN_USER*>(linked.user)->User.Sid;
    if (!EqualSid(shellUser, linkedUser) || facts.logonSession.LowPart != linked.logonSession.LowPart ||
        facts.logonSession.HighPart != linked.logonSession.HighPart)
        return CKernelHandle();
    return token;
}

}  // namespace

BOOL(WINAPI* UserRightsTokenQuery)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) = GetTokenInformation;

// Fails closed: the step may act only where the process's elevation type was
// read and says that it carries its user's own rights (no split token, or the
// unelevated half of one), or on a system without elevation; an elevated
// process acts only through its user's unelevated token.
CUserRightsScope::CUserRightsScope() {
    CKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.Receive())) return;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeFull;
    DWORD size = 0;
    if (!UserRightsTokenQuery(own.Get(), TokenElevationType, &type, sizeof type, &size)) {
        // Windows before Vista knows no elevation: asked for a token's
        // elevation type, it refuses the information class. Only there may
        // a refusal mean that the process runs with its user's own rights.
        mayAct_ = IsWindowsVersionAtLeast(6, 0, 0) ? 0 : 1;
        return;
    }
    if (type == TokenElevationTypeDefault || type == TokenElevationTypeLimited) {
        mayAct_ = 1;
        return;
    }
    TOKEN_LINKED_TOKEN linked = {};
    if (type != TokenElevationTypeFull ||
        !UserRightsTokenQuery(own.Get(), TokenLinkedToken, &linked, sizeof linked, &size))
        return;
    const CKernelHandle linkedToken(linked.LinkedToken);
    const TokenFacts linkedFacts = FactsOf(linkedToken.Get());
    if (!linkedFacts.known || linkedFacts.elevated) return;
    const CKernelHandle shellToken = MatchingShellToken(linkedFacts);
    impersonating_ = ImpersonateLoggedOnUser(shellToken ? shellToken.Get() : linkedToken.Get()) != 0;
    mayAct_ = impersonating_ ? 1 : 0;
}

CUserRightsScope::~CUserRightsScope() {
    if (impersonating_) RevertToSelf();
}
