// Security descriptors and attributes, as far as this layer gives them a meaning.
//
// A descriptor's access list decides who may open the kernel objects made with it: a descriptor
// whose access list is present but nil grants everyone full access (named mutexes then get lock
// files that every user may lock); no descriptor, or one with an access list, keeps the object to
// its creator's user for ownership (others may still see that it exists). Pure record functions;
// thread-safe on distinct records.
#pragma once

#include <cstdint>

namespace quill::kernel {

using DWORD = std::uint32_t;
using BOOL = std::int32_t;

constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr std::uint16_t SE_DACL_PRESENT = 0x0004;
constexpr std::uint16_t SE_DACL_DEFAULTED = 0x0008;

struct ACL; // never built here: a nil access list is the only one the library passes

// The absolute form of the platform's record: 20 bytes with 32-bit pointers.
struct SECURITY_DESCRIPTOR {
    std::uint8_t Revision;
    std::uint8_t Sbz1;
    std::uint16_t Control;
    void* Owner;
    void* Group;
    ACL* Sacl;
    ACL* Dacl;
};

// 12 bytes with 32-bit pointers.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// Fails (ERROR_REVISION_MISMATCH) for any revision but 1, or ERROR_INVALID_PARAMETER for nil.
BOOL InitializeSecurityDescriptor(SECURITY_DESCRIPTOR* descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(SECURITY_DESCRIPTOR* descriptor, BOOL daclPresent, ACL* dacl,
                               BOOL daclDefaulted);
// True when `attributes` open the object to everyone (a present, nil access list).
bool GrantsEveryone(const SECURITY_ATTRIBUTES* attributes);

} // namespace quill::kernel
