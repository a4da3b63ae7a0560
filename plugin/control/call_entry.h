// The call entries through which a host reaches the driver object's dispatch.
//
// CallEntry applies the dispatch to the one driver object and lets every failure escape to its
// caller (code 20058 when there is no driver object). GuardedCallEntry calls it inside a guard and
// turns every failure into the error fields of the parameter block: nothing escapes it. Both run
// on the caller's thread and lock nothing.
#pragma once

#include "platform/com/com_types.h"
#include "platform/rtl/object.h"
#include "quill/params.h"

namespace quill::plugin {

// Both have the host's calling convention (CallEntryFunc in the public host header).
bool WINAPI CallEntry(exchange::TParams* params, rtl::TObject* context);
bool WINAPI GuardedCallEntry(exchange::TParams* params, rtl::TObject* context) noexcept;

} // namespace quill::plugin
