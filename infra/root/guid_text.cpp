#include "infra/root/guid_text.h"

#include "platform/com/guid.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/exception.h"

#include <cstring>

namespace quill::infra {

namespace {
const std::string& NotAGuidText() {
    static const std::string text =
        kernel::WideToAnsi(u"Значение не является идентификатором объекта.");
    return text;
}
} // namespace

com::GUID GuidFromText(std::u16string_view text) {
    if (text.empty()) return com::GUID_NULL;
    com::GUID guid{};
    if (com::FAILED(com::CLSIDFromString(text, &guid))) throw rtl::Exception(NotAGuidText());
    return guid;
}

com::GUID GuidFromText(std::string_view text) {
    return GuidFromText(kernel::AnsiToWide(text));
}

bool IsGuidText(const com::VARIANT& value) {
    const com::BSTR* text = nullptr;
    if (value.vt == com::VT_BSTR)
        text = &value.bstrVal;
    else if (value.vt == (com::VT_BSTR | com::VT_BYREF) && value.pbstrVal)
        text = value.pbstrVal;
    if (!text) return false;
    try {
        GuidFromText(std::u16string_view(*text ? *text : u"", com::SysStringLen(*text)));
        return true;
    } catch (...) {
        return false;
    }
}

std::u16string GuidToText(const com::GUID& guid) {
    return com::StringFromCLSID(guid);
}

com::GUID NewGuid() {
    com::GUID guid{};
    const com::HRESULT hr = com::CoCreateGuid(&guid);
    if (com::FAILED(hr)) throw rtl::EOleSysError("CoCreateGuid", hr);
    return guid;
}

bool SameGuid(const com::GUID& a, const com::GUID& b) {
    return std::memcmp(&a, &b, sizeof(com::GUID)) == 0;
}

} // namespace quill::infra
