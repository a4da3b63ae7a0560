// The Windows side of security.h: the system's own descriptors, whose absolute form has the
// contract record's layout.
#include "platform/kernel/security.h"

#include <windows.h>

#include <cstddef>

namespace quill::kernel {

static_assert(sizeof(SECURITY_DESCRIPTOR) == sizeof(::SECURITY_DESCRIPTOR));
static_assert(offsetof(SECURITY_DESCRIPTOR, Control) == offsetof(::SECURITY_DESCRIPTOR, Control));
static_assert(offsetof(SECURITY_DESCRIPTOR, Dacl) == offsetof(::SECURITY_DESCRIPTOR, Dacl));
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12 && sizeof(SECURITY_DESCRIPTOR) == 20);

BOOL InitializeSecurityDescriptor(SECURITY_DESCRIPTOR* descriptor, DWORD revision) {
    if (!descriptor) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The contract's error for a wrong revision, which the system words differently.
    if (revision != SECURITY_DESCRIPTOR_REVISION) {
        ::SetLastError(ERROR_REVISION_MISMATCH);
        return 0;
    }
    return ::InitializeSecurityDescriptor(descriptor, revision);
}

BOOL SetSecurityDescriptorDacl(SECURITY_DESCRIPTOR* descriptor, BOOL daclPresent, ACL* dacl,
                               BOOL daclDefaulted) {
    if (!descriptor) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return ::SetSecurityDescriptorDacl(descriptor, daclPresent, reinterpret_cast<::ACL*>(dacl),
                                       daclDefaulted);
}

bool GrantsEveryone(const SECURITY_ATTRIBUTES* attributes) {
    if (!attributes || !attributes->lpSecurityDescriptor) return false;
    BOOL present = FALSE, defaulted = FALSE;
    ::PACL dacl = nullptr;
    return ::GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &dacl,
                                       &defaulted) &&
           present && dacl == nullptr;
}

} // namespace quill::kernel
