#include "removal/BatchSecurity.h"

namespace {

// AddMandatoryAce exists from Vista on, where integrity levels came in; it
// is looked up at run time so that the program still starts on Windows XP,
// which gets no label.
using AddMandatoryAceFunction = BOOL(WINAPI*)(PACL, DWORD, DWORD, DWORD, PSID);

AddMandatoryAceFunction FindAddMandatoryAce() {
    const HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    return advapi ? reinterpret_cast<AddMandatoryAceFunction>(
                        reinterpret_cast<void*>(GetProcAddress(advapi, "AddMandatoryAce")))
                  : nullptr;
}

}  // namespace

bool CBatchSecurity::Build() {
    DWORD adminsSize = sizeof(admins_);
    DWORD systemSize = sizeof(system_);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins_, &adminsSize)) return false;
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system_, &systemSize)) return false;

    const DWORD needed =
        sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(admins_) + GetLengthSid(system_);
    if (needed > sizeof(dacl_)) return false;
    ACL* dacl = reinterpret_cast<ACL*>(dacl_);
    if (!InitializeAcl(dacl, sizeof(dacl_), ACL_REVISION)) return false;
    if (!AddAccessAllowedAce(dacl, ACL_REVISION, FILE_ALL_ACCESS, admins_)) return false;
    if (!AddAccessAllowedAce(dacl, ACL_REVISION, FILE_ALL_ACCESS, system_)) return false;

    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return false;
    // The owner is the group, not the user: an owner is granted WRITE_DAC
    // implicitly (unless an OWNER RIGHTS entry says otherwise), and an
    // unelevated program of the same user would hold it.
    if (!SetSecurityDescriptorOwner(&descriptor_, admins_, FALSE)) return false;
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, dacl, FALSE)) return false;
    // Protected: the root's inheritable entries are not merged in.
    if (!SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return false;
    if (!BuildLabel()) return false;

    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
    return true;
}

// The mandatory label in the SACL: High integrity with no write-up, so that
// a process below High integrity cannot write the file whatever its DACL
// says. A SACL that holds only a label needs no SeSecurityPrivilege, and an
// elevated process may set a label up to its own level. True without a
// label where the system has no integrity levels.
bool CBatchSecurity::BuildLabel() {
    const AddMandatoryAceFunction addMandatoryAce = FindAddMandatoryAce();
    if (!addMandatoryAce) return true;
    DWORD labelSize = sizeof(highLabel_);
    if (!CreateWellKnownSid(WinHighLabelSid, nullptr, highLabel_, &labelSize)) return false;
    const DWORD needed = sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD) + GetLengthSid(highLabel_);
    if (needed > sizeof(sacl_)) return false;
    ACL* sacl = reinterpret_cast<ACL*>(sacl_);
    if (!InitializeAcl(sacl, sizeof(sacl_), ACL_REVISION)) return false;
    if (!addMandatoryAce(sacl, ACL_REVISION, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, highLabel_)) return false;
    return SetSecurityDescriptorSacl(&descriptor_, TRUE, sacl, FALSE) != FALSE;
}
