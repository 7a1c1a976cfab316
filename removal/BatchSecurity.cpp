#include "removal/BatchSecurity.h"

#include "support/Handles.h"

bool CBatchSecurity::Build() {
    union {
        TOKEN_USER user;
        BYTE bytes[256];  // room for the SID that follows it
    } tokenUser;
    {
        CKernelHandle token;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
        DWORD size = 0;
        if (!GetTokenInformation(token.Get(), TokenUser, &tokenUser, sizeof(tokenUser), &size)) return false;
    }
    PSID user = tokenUser.user.User.Sid;

    DWORD adminsSize = sizeof(admins_);
    DWORD systemSize = sizeof(system_);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins_, &adminsSize)) return false;
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize)) return false;
    if (!IsValidSid(user)) return false;

    const DWORD needed = sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(admins_) +
                         GetLengthSid(system_) + GetLengthSid(user);
    if (needed > sizeof(acl_)) return false;
    ACL* acl = reinterpret_cast<ACL*>(acl_);
    if (!InitializeAcl(acl, sizeof(acl_), ACL_REVISION)) return false;
    if (!AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, admins_)) return false;
    if (!AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system_)) return false;
    if (!AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user)) return false;

    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return false;
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE)) return false;
    // Protected: the root's inheritable entries are not merged in.
    if (!SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return false;

    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return true;
}
