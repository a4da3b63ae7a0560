// The parameter block of one call by name, built as a host builds it.
#pragma once

#include "quill/params.h"

#include <string_view>
#include <vector>

namespace quill::test {

// A block for an ordinary call: result slot, name, kind, then the arguments.
inline exchange::TParams& CallBlock(exchange::TParams& block, std::u16string_view name, int kind,
                                    const std::vector<com::OleVariant>& args = {}) {
    block.AllocateStorage();
    block.Add(com::OleVariant());
    block.Add(com::OleVariant(name));
    block.Add(com::OleVariant(kind));
    for (const auto& a : args)
        block.Add(a);
    return block;
}

} // namespace quill::test
