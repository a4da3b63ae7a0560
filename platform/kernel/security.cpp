#include "platform/kernel/security.h"

#include "platform/kernel/last_error.h"

namespace quill::kernel {

BOOL InitializeSecurityDescriptor(SECURITY_DESCRIPTOR* descriptor, DWORD revision) {
    if (!descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_REVISION_MISMATCH);
        return 0;
    }
    *descriptor = SECURITY_DESCRIPTOR{};
    descriptor->Revision = static_cast<std::uint8_t>(revision);
    return 1;
}

BOOL SetSecurityDescriptorDacl(SECURITY_DESCRIPTOR* descriptor, BOOL daclPresent, ACL* dacl,
                               BOOL daclDefaulted) {
    if (!descriptor || descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(descriptor ? ERROR_REVISION_MISMATCH : ERROR_INVALID_PARAMETER);
        return 0;
    }
    descriptor->Control &= static_cast<std::uint16_t>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    if (daclPresent) {
        descriptor->Control |= SE_DACL_PRESENT;
        if (daclDefaulted) descriptor->Control |= SE_DACL_DEFAULTED;
        descriptor->Dacl = dacl;
    } else {
        descriptor->Dacl = nullptr;
    }
    return 1;
}

bool GrantsEveryone(const SECURITY_ATTRIBUTES* attributes) {
    if (!attributes || !attributes->lpSecurityDescriptor) return false;
    const auto* descriptor = static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
    return (descriptor->Control & SE_DACL_PRESENT) && descriptor->Dacl == nullptr;
}

} // namespace quill::kernel
