// TAutoObject: the platform's automation object, a reference-counted component that implements
// IDispatch without a type library.
//
// The object starts with a reference count of zero; CreateComObject constructs it, runs its
// virtual Initialize (where subclasses register what they answer) and hands out the first
// counted reference. A failed Initialize frees the object and passes the failure on, so no
// half-initialised object is ever handed out. The last Release deletes the object. The count
// changes atomically; everything else is the subclass's business. QueryInterface answers IUnknown
// and IDispatch and asks the virtual QueryOwnInterface for any other identifier.
//
// Without overrides the object has no members: GetIDsOfNames returns DISP_E_UNKNOWNNAME, Invoke
// DISP_E_MEMBERNOTFOUND, and there is no type information.
#pragma once

#include "platform/com/dispatch.h"

#include <atomic>
#include <utility>

namespace quill::com {

class TAutoObject : public IDispatch {
  public:
    TAutoObject() = default;
    TAutoObject(const TAutoObject&) = delete;
    TAutoObject& operator=(const TAutoObject&) = delete;
    virtual ~TAutoObject();

    // Runs once after construction, before the first reference is handed out.
    virtual void Initialize() {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, OLECHAR** names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // The current reference count (for tests and diagnostics only).
    ULONG RefCount() const { return FRefCount.load(); }

  protected:
    // Interfaces beyond IUnknown and IDispatch: set *object (without AddRef) and return true.
    virtual bool QueryOwnInterface(REFIID iid, void** object);

  private:
    std::atomic<ULONG> FRefCount{0};
};

// Constructs T, runs Initialize and returns the first counted reference. A failure in the
// constructor or in Initialize propagates and leaves nothing behind.
template <class T, class... Args> ComPtr<T> CreateComObject(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    try {
        object->Initialize();
    } catch (...) {
        delete object;
        throw;
    }
    return ComPtr<T>(object);
}

} // namespace quill::com
