#include "exchange/valuearray/value_array_class.h"

#include "exchange/valuearray/type_library.h"
#include "exchange/valuearray/value_array_object.h"
#include "platform/com/class_registry.h"
#include "platform/rtl/exception.h"

#include <atomic>
#include <mutex>

namespace quill::exchange {

using namespace com;

namespace {

// The factory that the class registry holds for the value-array class.
class TSafeArrayFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IUnknown::Guid || iid == IClassFactory::Guid) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FRefCount;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            ComPtr<TSafeArray> table = CreateComObject<TSafeArray>();
            return table->QueryInterface(iid, object);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(bool) override { return S_OK; }

  private:
    virtual ~TSafeArrayFactory() = default;
    std::atomic<ULONG> FRefCount{0};
};

std::mutex gRegistrationLock;

} // namespace

ComPtr<ISafeArray> CreateValueArray() {
    {
        std::lock_guard guard(gRegistrationLock);
        if (!GetClassRegistration(ValueArrayClassGuid, nullptr)) {
            ComPtr<IClassFactory> factory(new TSafeArrayFactory);
            const TClassRegistration info{u"AddIn", std::u16string(typelib::SafeArrayClass.Name),
                                          typelib::SafeArrayClass.Id,
                                          TClassInstancing::MultiInstance, TThreadingModel::Free};
            const HRESULT hr = RegisterClassFactory(info, factory.Get());
            if (FAILED(hr) && hr != CO_E_OBJISREG)
                throw rtl::EOleSysError("Cannot register the value-array class", hr);
        }
    }
    ISafeArray* created = nullptr;
    const HRESULT hr = CoCreateInstance(ValueArrayClassGuid, nullptr, ISafeArray::Guid,
                                        reinterpret_cast<void**>(&created));
    if (FAILED(hr) || !created)
        throw rtl::EOleSysError("Cannot create a value array", FAILED(hr) ? hr : E_FAIL);
    return ComPtr<ISafeArray>::Adopt(created);
}

void RevokeValueArrayClass() {
    std::lock_guard guard(gRegistrationLock);
    RevokeClassFactory(ValueArrayClassGuid);
}

bool IsValueArray(const VARIANT& value) {
    if (value.vt != VT_DISPATCH || !value.pdispVal) return false;
    void* table = nullptr;
    if (FAILED(value.pdispVal->QueryInterface(ISafeArray::Guid, &table)) || !table) return false;
    static_cast<ISafeArray*>(table)->Release();
    return true;
}

} // namespace quill::exchange
