// Per-thread error information: the description that travels beside a failure HRESULT.
//
// SetErrorInfo replaces the calling thread's error object (nil clears it); GetErrorInfo hands it
// out once and clears it, as on the platform. Each thread has its own slot.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

#include <string>

namespace quill::com {

class IErrorInfo : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("1CF2B120-547D-101B-8E65-08002B2BD119");
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* helpContext) = 0;

  protected:
    ~IErrorInfo() = default;
};

class ICreateErrorInfo : public IUnknown {
  public:
    static constexpr GUID Guid = MakeGuid("22F03340-547D-101B-8E65-08002B2BD119");
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFIID guid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(const OLECHAR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(const OLECHAR* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(const OLECHAR* helpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD helpContext) = 0;

  protected:
    ~ICreateErrorInfo() = default;
};

HRESULT CreateErrorInfo(ICreateErrorInfo** info);
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
// S_FALSE and nil when the thread has no error object.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);

// Sets the thread's error object to (null interface id, no source, `description`, no help file).
void SetErrorDescription(std::u16string_view description);
// The description of the thread's error object (consuming it), or empty.
std::u16string TakeErrorDescription();

} // namespace quill::com
