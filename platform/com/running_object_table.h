// The running-object table: objects registered under a class identifier so that others in the
// process can find the running instance (RegisterActiveObject / GetActiveObject).
//
// On Linux the table is the process's own (one copy in the shared run-time): an object is found by
// any module of the process. A strong registration holds a reference until it is revoked; a weak
// one holds none, so its owner must revoke it before the object goes. Several registrations of
// one class may coexist; GetActiveObject gives the earliest still registered. Thread-safe;
// references are released outside the table's lock. On Windows it is the system's table, which
// every program of the session sees: how many references it holds is the system's business, and
// the calling thread must have joined COM first (apartment.h).
#pragma once

#include "platform/com/unknown.h"

namespace quill::com {

constexpr DWORD ACTIVEOBJECT_STRONG = 0;
constexpr DWORD ACTIVEOBJECT_WEAK = 1;

// E_INVALIDARG for a nil object or token pointer.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration);
// E_INVALIDARG for a token that is not registered.
HRESULT RevokeActiveObject(DWORD registration, void* reserved);
// MK_E_UNAVAILABLE when no object of `clsid` is registered; the result is a new reference.
HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object);

} // namespace quill::com
