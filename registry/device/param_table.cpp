// A device's parameters as a seven-column table of a value array: name, caption, description,
// type, value, read-only flag, default; row 0 shows the device identifier. Texts are UTF-16, the
// read-only flag an integer 0 or 1 (a host reads it as a number: a Boolean true would read -1),
// value and default typed by the row's type name.
#include "exchange/valuearray/value_array_class.h"
#include "exchange/xml/text_utils.h"
#include "infra/codes/coded_exception.h"
#include "infra/root/variant_kind.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"
#include "platform/rtl/convert.h"
#include "registry/device/device_item.h"
#include "registry/device/result_codes.h"

namespace quill::registry {

using namespace com;

namespace {

constexpr int kColumns = 7;

void Check(HRESULT hr) {
    if (FAILED(hr)) throw rtl::EOleSysError("Value array call failed", hr);
}

// A text cell with its stored line-break escapes decoded; other values as they are.
OleVariant Shown(const OleVariant& value) {
    if (value.vt != VT_BSTR) return value;
    return OleVariant(exchange::EscapeLineBreaks(TextFromBStr(value.bstrVal), false));
}

OleVariant Shown(const std::string& text) {
    return OleVariant(exchange::EscapeLineBreaks(kernel::AnsiToWide(text), false));
}

// A cell read back: texts get their line breaks escaped again.
std::string Stored(const OleVariant& value) {
    if (value.vt == VT_BSTR)
        return kernel::WideToAnsi(exchange::EscapeLineBreaks(TextFromBStr(value.bstrVal), true));
    return rtl::VarToStr(value);
}

std::string Cut(std::string text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

} // namespace

std::int32_t TDeviceItem::GetParamTable(OleVariant& table) const {
    ComPtr<ISafeArray> array;
    if (EventSink) {
        IDispatch* created = nullptr;
        Check(EventSink->CreateValueArray(&created));
        auto owned = ComPtr<IDispatch>::Adopt(created);
        array = ComPtr<ISafeArray>::QueryFrom(owned);
        if (!array)
            throw rtl::EOleSysError("The host's value array lacks its interface", E_NOINTERFACE);
    } else {
        array = exchange::CreateValueArray();
    }
    const int rows = FParams->Count() + 1;
    Check(array->SetBounds(rows, kColumns));
    auto put = [&](int row, int column, const OleVariant& value) {
        Check(array->SetValue(row, column, value));
    };
    put(0, 0, OleVariant(u"ИмяУстройства"));
    put(0, 1, OleVariant(u"Имя устройства"));
    put(0, 2, OleVariant(u"Имя устройства"));
    put(0, 3, OleVariant(u"Строка"));
    put(0, 4, Shown(FIdentifier));
    put(0, 5, OleVariant(1));
    put(0, 6, OleVariant(u""));
    for (int i = 0; i < FParams->Count(); ++i) {
        const TPropItem* row = FParams->PropertyAt(i);
        put(i + 1, 0, Shown(row->Identifier));
        put(i + 1, 1, Shown(row->Name));
        put(i + 1, 2, Shown(row->Description));
        put(i + 1, 3, OleVariant(row->XmlTypeName()));
        put(i + 1, 4, Shown(row->ValueAsVariant()));
        put(i + 1, 5, OleVariant(row->ReadOnly ? 1 : 0));
        put(i + 1, 6, Shown(row->DefaultAsVariant()));
    }
    table = OleVariant(static_cast<IDispatch*>(array.Get()));
    return results::Success;
}

std::int32_t TDeviceItem::SetParamTable(const VARIANT& table) {
    const VARIANT& value = infra::Deref(table);
    const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    IUnknown* object = nullptr;
    if (base == VT_DISPATCH || base == VT_UNKNOWN)
        object = (value.vt & VT_BYREF) ? *value.ppunkVal : value.punkVal;
    auto array = ComPtr<ISafeArray>::QueryFrom(object);
    if (!array) return results::WrongParameterType; // no table to read
    std::int32_t rows = 0, columns = 0;
    Check(array->GetBounds(&rows, &columns));
    auto cell = [&](int row, int column) {
        OleVariant v;
        Check(array->GetValue(row, column, &v));
        return v;
    };
    static const std::string deviceNameRow = kernel::WideToAnsi(u"ИмяУстройства");
    static const std::string numberType = kernel::WideToAnsi(u"Число");
    for (int r = 0; r < rows; ++r) {
        const std::string name = Cut(Stored(cell(r, 0)), capacity::Name);
        if (kernel::AnsiSameText(name, deviceNameRow)) continue; // the identifier is not set here
        // Every column of the row is read, so that a table too narrow for it fails here with the
        // value array's error; only the value is kept, the others serve the check.
        const std::string caption = Stored(cell(r, 1));
        const std::string description = Stored(cell(r, 2));
        const std::string type = Cut(Stored(cell(r, 3)), capacity::TypeName);
        const std::string text = Stored(cell(r, 4));
        const OleVariant readOnly = cell(r, 5);
        const std::string defaultText = Stored(cell(r, 6));
        const bool writable = readOnly.vt == VT_EMPTY || rtl::VarToInt(readOnly) == 0;
        // The value must be a number as the process writes numbers, with its own decimal
        // separator: "1.5" is no number where the process separates with ",".
        if (writable && kernel::AnsiSameText(type, numberType) &&
            !kernel::ParseFloatInProcessFormat(text))
            infra::RaiseCodedError(infra::codes::BadPropertyType, {caption});
        SetParamStr(name, text);
    }
    return results::Success;
}

} // namespace quill::registry
