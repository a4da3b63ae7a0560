// The class registry of the in-process COM server: class factories registered by class
// identifier under a server name, and creation of instances by class identifier or ProgID.
//
// A module registers a factory for each class it serves (RegisterClassFactory) and revokes it
// before its code is unloaded (RevokeClassFactory): the registry lives in the shared run-time and
// would otherwise keep a factory whose code is gone. The ProgID of a class is
// "<server name>.<class name>". CoCreateInstance asks the registered factory for a new instance
// and the requested interface; an unknown class gives REGDB_E_CLASSNOTREG, an unknown ProgID
// CO_E_CLASSSTRING. The registry holds a counted reference to every factory. All functions are
// thread-safe; the factory is called outside the registry's lock.
#pragma once

#include "platform/com/unknown.h"

#include <string>
#include <string_view>

namespace quill::com {

class IClassFactory : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("00000001-0000-0000-C000-000000000046");
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
};

// How many instances one factory serves, and the threading model it declares.
enum class TClassInstancing { SingleInstance, MultiInstance };
enum class TThreadingModel { Single, Apartment, Free, Both, Neutral };

struct TClassRegistration {
    std::u16string ServerName;
    std::u16string ClassName;
    CLSID ClassId;
    TClassInstancing Instancing;
    TThreadingModel ThreadingModel;
};

constexpr HRESULT CO_E_OBJISREG = MakeHResult(0x800401FCu);

// Registers `factory` for `info.ClassId`; CO_E_OBJISREG when that class is already registered
// (the registration in place stays), E_POINTER for a nil factory.
HRESULT RegisterClassFactory(const TClassRegistration& info, IClassFactory* factory);
// Removes the registration of `classId`; S_FALSE when there was none.
HRESULT RevokeClassFactory(REFCLSID classId);
// The registration of `classId`, or false when the class is not registered.
bool GetClassRegistration(REFCLSID classId, TClassRegistration* info);
// The class identifier registered under the ProgID "<server name>.<class name>" (case-insensitive).
HRESULT CLSIDFromProgID(std::u16string_view progId, CLSID* classId);
HRESULT CoGetClassObject(REFCLSID classId, REFIID iid, void** object);
// A new instance of `classId` queried for `iid`. Aggregation is not supported.
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, REFIID iid, void** object);

} // namespace quill::com
