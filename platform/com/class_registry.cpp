#include "platform/com/class_registry.h"

#include "platform/kernel/codepage.h"

#include <mutex>
#include <vector>

namespace quill::com {

namespace {

struct Entry {
    TClassRegistration Info;
    ComPtr<IClassFactory> Factory;
};

// Never destroyed: at process exit a registry destructor could call into a module that is
// already gone.
struct Registry {
    std::mutex Lock;
    std::vector<Entry> Entries;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

ComPtr<IClassFactory> FindFactory(REFCLSID classId) {
    Registry& r = TheRegistry();
    std::lock_guard guard(r.Lock);
    for (const Entry& e : r.Entries)
        if (e.Info.ClassId == classId) return e.Factory;
    return nullptr;
}

} // namespace

HRESULT RegisterClassFactory(const TClassRegistration& info, IClassFactory* factory) {
    if (!factory) return E_POINTER;
    Registry& r = TheRegistry();
    ComPtr<IClassFactory> held(factory);
    std::lock_guard guard(r.Lock);
    for (const Entry& e : r.Entries)
        if (e.Info.ClassId == info.ClassId) return CO_E_OBJISREG;
    r.Entries.push_back(Entry{info, std::move(held)});
    return S_OK;
}

HRESULT RevokeClassFactory(REFCLSID classId) {
    ComPtr<IClassFactory> released; // released outside the lock
    Registry& r = TheRegistry();
    {
        std::lock_guard guard(r.Lock);
        for (auto it = r.Entries.begin(); it != r.Entries.end(); ++it) {
            if (it->Info.ClassId == classId) {
                released = std::move(it->Factory);
                r.Entries.erase(it);
                break;
            }
        }
    }
    return released ? S_OK : S_FALSE;
}

bool GetClassRegistration(REFCLSID classId, TClassRegistration* info) {
    Registry& r = TheRegistry();
    std::lock_guard guard(r.Lock);
    for (const Entry& e : r.Entries) {
        if (e.Info.ClassId == classId) {
            if (info) *info = e.Info;
            return true;
        }
    }
    return false;
}

HRESULT CLSIDFromProgID(std::u16string_view progId, CLSID* classId) {
    if (!classId) return E_POINTER;
    Registry& r = TheRegistry();
    std::lock_guard guard(r.Lock);
    for (const Entry& e : r.Entries) {
        if (kernel::WideSameText(e.Info.ServerName + u"." + e.Info.ClassName, progId)) {
            *classId = e.Info.ClassId;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(REFCLSID classId, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory = FindFactory(classId);
    if (!factory) return REGDB_E_CLASSNOTREG;
    return factory->QueryInterface(iid, object);
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<IClassFactory> factory = FindFactory(classId);
    if (!factory) return REGDB_E_CLASSNOTREG;
    return factory->CreateInstance(nullptr, iid, object);
}

} // namespace quill::com
