// The security of the self-deletion batch file.
#pragma once

#include <windows.h>

// A security descriptor that only administrators can change: owned by the
// Administrators group, full access for Administrators and SYSTEM and for
// nobody else, and (from Vista on) labelled High integrity with no write-up.
// The batch runs elevated and re-reads itself while it loops. The user who
// runs the uninstaller is left out on purpose: under UAC an unelevated
// program of the same user carries the same user SID, and an owner could
// always grant itself WRITE_DAC. No access is inherited from the drive root,
// where ordinary users may be allowed to modify new files.
class CBatchSecurity {
public:
    CBatchSecurity() = default;
    // The attributes point into the object itself.
    CBatchSecurity(const CBatchSecurity&) = delete;
    CBatchSecurity& operator=(const CBatchSecurity&) = delete;

    // Builds the descriptor; false when a well-known group or the label
    // cannot be had, in which case no batch file is made.
    bool Build();
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    bool BuildLabel();

    DWORD_PTR admins_[SECURITY_MAX_SID_SIZE / sizeof(DWORD_PTR) + 1];
    DWORD_PTR system_[SECURITY_MAX_SID_SIZE / sizeof(DWORD_PTR) + 1];
    DWORD_PTR highLabel_[SECURITY_MAX_SID_SIZE / sizeof(DWORD_PTR) + 1];
    DWORD_PTR dacl_[32];
    DWORD_PTR sacl_[16];
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
};
