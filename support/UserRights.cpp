#include "support/UserRights.h"

#include "support/Handles.h"

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
    if (!process || !OpenProcessToken(process.Get(), TOKEN_QUERY | TOKEN_DUPLICATE, token.Receive())) return CKernelHandle();
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

CUserRightsScope::CUserRightsScope() {
    CKernelHandle own;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.Receive()) ||
        !GetTokenInformation(own.Get(), TokenElevationType, &type, sizeof type, &size) ||
        type != TokenElevationTypeFull ||
        !GetTokenInformation(own.Get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
        mayAct_ = 1;
        return;
    }
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
