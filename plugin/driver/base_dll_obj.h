// TBaseDllObj: the base class of the library's driver object, and the unit-level variable that
// holds the one driver object of the library.
//
// The driver object executes the host's requests (Dispatch) and offers the host its interfaces
// (QueryInterface). `DllObject` is written only while the library loads and unloads; it is nil
// before the driver object is created, after it is freed, and for good when its construction
// failed.
#pragma once

#include "exchange/params/params.h"
#include "platform/com/unknown.h"
#include "platform/rtl/object.h"

namespace quill::plugin {

class TBaseDllObj : public rtl::TObject {
public:
    std::string_view ClassName() const override { return "TBaseDllObj"; }
    // Executes the chain of requests that starts at `params`; failures escape to the caller.
    virtual bool Dispatch(exchange::TParams* params, rtl::TObject* context) = 0;
    // Hands out one of the driver object's interfaces as a counted reference.
    virtual com::HRESULT QueryInterface(com::REFIID iid, void** object) = 0;
};

extern TBaseDllObj* DllObject;

} // namespace quill::plugin
