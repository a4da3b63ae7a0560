// The conversion of a C++ exception into an interface method's result.
//
// No exception may leave an interface method. Its body runs inside SafeCall (or a catch-all that
// calls HandleSafecallException): an EOleSysError returns its own platform result code; any other
// failure returns E_UNEXPECTED; in every case the failure's message becomes the description of
// the calling thread's error information (null interface id, no source, no help file).
#pragma once

#include "platform/com/com_types.h"

#include <utility>

namespace quill::rtl {

// Call only inside a catch block: converts the exception being handled.
com::HRESULT HandleSafecallException() noexcept;

template <class Body> com::HRESULT SafeCall(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return com::S_OK;
    } catch (...) {
        return HandleSafecallException();
    }
}

} // namespace quill::rtl
