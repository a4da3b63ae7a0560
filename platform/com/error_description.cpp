// The library's shorthand for the per-thread error information: built the same on every system over
// CreateErrorInfo, SetErrorInfo and GetErrorInfo.
#include "platform/com/errorinfo.h"

namespace quill::com {

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
