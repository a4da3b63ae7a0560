#include "platform/com/auto_object.h"

namespace quill::com {

TAutoObject::~TAutoObject() = default;

HRESULT STDMETHODCALLTYPE TAutoObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IUnknown::Guid || iid == IDispatch::Guid) {
        *object = static_cast<IDispatch*>(this);
    } else if (!QueryOwnInterface(iid, object) || !*object) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TAutoObject::AddRef() {
    return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG STDMETHODCALLTYPE TAutoObject::Release() {
    const ULONG left = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE TAutoObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TAutoObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TAutoObject::GetIDsOfNames(REFIID, OLECHAR**, UINT count, LCID,
                                                     DISPID* ids) {
    if (ids)
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TAutoObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                              EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

bool TAutoObject::QueryOwnInterface(REFIID, void**) {
    return false;
}

} // namespace quill::com
