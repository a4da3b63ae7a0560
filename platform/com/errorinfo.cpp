#include "platform/com/errorinfo.h"

#include <atomic>
#include <new>

namespace quill::com {

namespace {

class TErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IUnknown::Guid || iid == IErrorInfo::Guid)
            *object = static_cast<IErrorInfo*>(this);
        else if (iid == ICreateErrorInfo::Guid)
            *object = static_cast<ICreateErrorInfo*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --FCount;
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override { return Out(guid, FGuid); }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* v) override { return OutText(v, FSource); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* v) override { return OutText(v, FDescription); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* v) override { return OutText(v, FHelpFile); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* v) override { return Out(v, FHelpContext); }

    HRESULT STDMETHODCALLTYPE SetGUID(REFIID guid) override {
        FGuid = guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(const OLECHAR* v) override {
        FSource = v ? v : u"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDescription(const OLECHAR* v) override {
        FDescription = v ? v : u"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(const OLECHAR* v) override {
        FHelpFile = v ? v : u"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD v) override {
        FHelpContext = v;
        return S_OK;
    }

  private:
    ~TErrorInfo() = default;
    template <class T> static HRESULT Out(T* target, const T& value) {
        if (!target) return E_POINTER;
        *target = value;
        return S_OK;
    }
    static HRESULT OutText(BSTR* target, const std::u16string& value) {
        if (!target) return E_POINTER;
        *target = BStrFromText(value);
        return S_OK;
    }

    std::atomic<ULONG> FCount{1};
    GUID FGuid = GUID_NULL;
    std::u16string FSource, FDescription, FHelpFile;
    DWORD FHelpContext = 0;
};

// The thread's error object; the holder releases it when the thread ends.
struct ThreadSlot {
    IErrorInfo* info = nullptr;
    ~ThreadSlot() {
        if (info) info->Release();
    }
};
thread_local ThreadSlot tSlot;

} // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
    if (!info) return E_POINTER;
    auto* object = new (std::nothrow) TErrorInfo();
    if (!object) return E_OUTOFMEMORY;
    *info = object;
    return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    if (info) info->AddRef();
    if (tSlot.info) tSlot.info->Release();
    tSlot.info = info;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** info) {
    if (!info) return E_POINTER;
    *info = tSlot.info;
    tSlot.info = nullptr;
    return *info ? S_OK : S_FALSE;
}

} // namespace quill::com
