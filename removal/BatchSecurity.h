// The security of the self-deletion batch file.
#pragma once

#include <windows.h>

// A security descriptor that grants full access to the Administrators group,
// SYSTEM and the user who runs the uninstaller, and to nobody else: no
// access is inherited from the drive root, where ordinary users may be
// allowed to modify new files. The batch runs elevated and re-reads itself
// while it loops, so nobody else may change it.
class CBatchSecurity {
public:
    CBatchSecurity() = default;
    // The attributes point into the object itself.
    CBatchSecurity(const CBatchSecurity&) = delete;
    CBatchSecurity& operator=(const CBatchSecurity&) = delete;

    // Builds the descriptor; false when the user's identity or a well-known
    // group cannot be had, in which case no batch file is made.
    bool Build();
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    DWORD_PTR admins_[SECURITY_MAX_SID_SIZE / sizeof(DWORD_PTR) + 1];
    DWORD_PTR system_[SECURITY_MAX_SID_SIZE / sizeof(DWORD_PTR) + 1];
    DWORD_PTR acl_[64];
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
};
