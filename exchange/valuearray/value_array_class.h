// Creating and recognising value-array objects.
//
// The value-array class is served through the class registry of the platform's COM layer: the
// first CreateValueArray registers its class factory under the server name "AddIn" with the class
// identifier ValueArrayClassGuid (multiple instances, free-threaded); every call then creates a new
// instance through the registry. RevokeValueArrayClass removes the registration and must run
// before the module that holds the class is unloaded; a later CreateValueArray registers it
// again. Thread-safe.
#pragma once

#include "platform/com/variant.h"
#include "quill/host.h"

namespace quill::exchange {

// A new, empty value array. Raises rtl::EOleSysError when the class cannot be created.
com::ComPtr<ISafeArray> CreateValueArray();
void RevokeValueArrayClass();

// True for an object reference (VT_DISPATCH) whose object answers a query for ISafeArray.
bool IsValueArray(const com::VARIANT& value);

} // namespace quill::exchange
