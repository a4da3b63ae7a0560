#include "platform/com/errorinfo.h"

#include <atomic>
#include <new>

namespace quill::com {

namespace {

class TErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
  public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
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
    ULONG AddRef() override { return ++FCount; }
    ULONG Release() override {
        const ULONG n = --FCount;
        if (n == 0) delete this;
        return n;
    }

    HRESULT GetGUID(GUID* guid) override { return Out(guid, FGuid); }
    HRESULT GetSource(BSTR* v) override { return OutText(v, FSource); }
    HRESULT GetDescription(BSTR* v) override { return OutText(v, FDescription); }
    HRESULT GetHelpFile(BSTR* v) override { return OutText(v, FHelpFile); }
    HRESULT GetHelpContext(DWORD* v) override { return Out(v, FHelpContext); }

    HRESULT SetGUID(REFIID guid) override {
        FGuid = guid;
        return S_OK;
    }
    HRESULT SetSource(const OLECHAR* v) override {
        FSource = v ? v : u"";
        return S_OK;
    }
    HRESULT SetDescription(const OLECHAR* v) override {
        FDescription = v ? v : u"";
        return S_OK;
    }
    HRESULT SetHelpFile(const OLECHAR* v) override {
        FHelpFile = v ? v : u"";
        return S_OK;
    }
    HRESULT SetHelpContext(DWORD v) override {
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

void SetErrorDescription(std::u16string_view description) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetGUID(GUID_NULL);
    const std::u16string text(description);
    create->SetDescription(text.c_str());
    IErrorInfo* info = nullptr;
    create->QueryInterface(IErrorInfo::Guid, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    if (info) info->Release();
    create->Release();
}

std::u16string TakeErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return {};
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::u16string text = TextFromBStr(description);
    SysFreeString(description);
    info->Release();
    return text;
}

} // namespace quill::com
