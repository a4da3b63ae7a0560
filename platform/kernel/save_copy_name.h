// Private to platform/kernel: the hidden name under which a whole-file replacement writes its copy
// beside the file, the same on both systems: ".<name>.<pid>.<16 hex digits>.tmp". The process id
// lets a later save tell a dead save's copy from a live one's; the rest is unguessable, so that no
// name can be occupied before the save. Pure and thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::kernel {

std::string SaveCopyName(const std::string& base, std::uint32_t pid, std::uint64_t unguessable);

// The process id of the save whose copy `name` is, for the file `base`; 0 when `name` is no such
// copy. Copies named by earlier releases (a decimal counter for the hex digits) count too.
std::uint32_t SaveCopyOwner(std::string_view name, const std::string& base);

} // namespace quill::kernel
