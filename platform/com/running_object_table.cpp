#include "platform/com/running_object_table.h"

#include <map>
#include <mutex>

namespace quill::com {

namespace {

struct TEntry {
    IUnknown* Object;
    GUID Clsid;
    bool Strong;
};

struct TTable {
    std::mutex Lock;
    std::map<DWORD, TEntry> Entries; // ordered by token, so the earliest comes first
    DWORD NextToken = 1;
};

TTable& Table() {
    static TTable* table = new TTable;
    return *table;
}

} // namespace

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration) {
    if (!object || !registration) return E_INVALIDARG;
    const bool strong = (flags & ACTIVEOBJECT_WEAK) == 0;
    if (strong) object->AddRef();
    TTable& table = Table();
    std::lock_guard guard(table.Lock);
    const DWORD token = table.NextToken++;
    table.Entries.emplace(token, TEntry{object, clsid, strong});
    *registration = token;
    return S_OK;
}

HRESULT RevokeActiveObject(DWORD registration, void*) {
    TEntry entry{};
    {
        TTable& table = Table();
        std::lock_guard guard(table.Lock);
        const auto it = table.Entries.find(registration);
        if (it == table.Entries.end()) return E_INVALIDARG;
        entry = it->second;
        table.Entries.erase(it);
    }
    if (entry.Strong) entry.Object->Release();
    return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, void*, IUnknown** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    TTable& table = Table();
    std::lock_guard guard(table.Lock);
    for (const auto& [token, entry] : table.Entries) {
        if (entry.Clsid == clsid) {
            entry.Object->AddRef();
            *object = entry.Object;
            return S_OK;
        }
    }
    return MK_E_UNAVAILABLE;
}

} // namespace quill::com
