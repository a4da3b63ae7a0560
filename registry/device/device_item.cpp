#include "registry/device/device_item.h"

#include "exchange/xml/text_utils.h"
#include "infra/root/guid_text.h"
#include "platform/com/com_safearray.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"
#include "platform/user/message_queue.h"
#include "platform/rtl/convert.h"
#include "registry/device/result_codes.h"
#include "registry/list/devices_list.h"

#include <cmath>

namespace quill::registry {

using namespace com;

TDeviceItem::TDeviceItem(rtl::TCollection* list) : infra::TRootCollectionItem(list) {
    FillDriverInfo();
    FCallContext = nullptr;
    FState = false;
    FParams = std::make_unique<TPropList>();
    if (TDevicesList* owner = OwnerList()) {
        SetIdentifier(owner->ProposeIdentifier(""));
        EventSink = owner->EventSink;
        owner->CopyModelParams(*FParams);
        FUseLock = owner->UseLock();
    }
    SetGuid(infra::NewGuid());
    FCreatorThread = user::GetCurrentThreadId();
}

TDeviceItem::~TDeviceItem() {
    if (TDevicesList* owner = OwnerList()) owner->Unindex(this);
}

void* TDeviceItem::GetInterface(REFIID iid) {
    if (iid == IDeviceItem::Guid) return static_cast<IDeviceItem*>(this);
    return infra::TRootCollectionItem::GetInterface(iid);
}

TDevicesList* TDeviceItem::OwnerList() const {
    return dynamic_cast<TDevicesList*>(Collection());
}

void TDeviceItem::SetIdentifier(std::string text) {
    std::string previous = std::move(FIdentifier);
    FIdentifier = std::move(text);
    if (TDevicesList* owner = OwnerList()) owner->IdentifierChanged(previous, FIdentifier);
}

void TDeviceItem::SetGuid(const GUID& guid) {
    const GUID previous = FGuid;
    FGuid = guid;
    if (TDevicesList* owner = OwnerList()) owner->GuidChanged(this, previous);
}

void TDeviceItem::FillDriverInfo() {
    if (TDevicesList* owner = OwnerList())
        FDriverInfo = owner->SharedDriverInfo();
    else
        FDriverInfo = std::make_shared<const TDriverInfo>(TDevicesList::DefaultDriverInfo());
    AfterDriverInfo();
}

void TDeviceItem::AfterDriverInfo() {}

// ---- host-facing interface ----

HRESULT STDMETHODCALLTYPE TDeviceItem::GetEnabled(std::int16_t* enabled) {
    const auto guard = Use();
    return SafeCall([&] {
        if (!enabled) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
        *enabled = GetState() == 1 ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE TDeviceItem::Setup(std::int32_t* result) {
    const auto guard = Use();
    return SafeCall([&] {
        if (!result) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
        *result = ShowSettings();
    });
}

HRESULT STDMETHODCALLTYPE TDeviceItem::GetSettings(VARIANT* settings) {
    const auto guard = Use();
    return SafeCall([&] {
        if (!settings) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
        OleVariant document = BuildSettingsDocument();
        VariantClear(settings);
        *settings = document.Detach();
    });
}

HRESULT STDMETHODCALLTYPE TDeviceItem::Close(std::int32_t* result) {
    const auto guard = Use();
    return SafeCall([&] {
        CloseItem();
        if (result) *result = 0;
    });
}

void TDeviceItem::CloseItem() {
    if (FClosing) return;
    FClosing = true;
    Detach();
}

// ---- hooks ----

std::string TDeviceItem::ParamNameOf(const TParamDefRow& row) const {
    return RowText(row.Name, capacity::Name);
}

std::int32_t TDeviceItem::AfterLoad() {
    return results::Success;
}
std::int32_t TDeviceItem::ShowSettings() {
    return results::Success;
}
bool TDeviceItem::DoOpen() {
    return true;
}
bool TDeviceItem::DoClose() {
    return true;
}
std::int32_t TDeviceItem::ApplyExtraParams() {
    return ApplyExtraParamList(nullptr);
}

std::int32_t
TDeviceItem::ApplyExtraParamList(const std::vector<std::pair<std::string, std::string>>*) {
    return 0;
}

// ---- state ----

std::int32_t TDeviceItem::GetState() const {
    return FState ? 1 : 0;
}

void TDeviceItem::SetState(std::int32_t on) {
    SetError(results::Success);
    if (on == GetState()) return;
    SetError(results::Success);
    if (on == 1) {
        bool ok = false;
        try {
            ok = DoOpen();
        } catch (...) {
            // A parameter that cannot be read refuses the switch-on like any other reason.
            ok = false;
        }
        const std::int32_t code = FErrorCode;
        if (!ok) DoClose();
        SetError(code);
        if (!ok && FErrorCode == results::Success) SetError(results::DeviceNotFound);
    } else {
        if (DoClose()) SetError(results::Success);
    }
    FState = FErrorCode == results::Success && on != 0;
}

std::int32_t TDeviceItem::CheckOpened() {
    const std::int32_t code = GetState() == 1 ? results::Success : results::DeviceNotFound;
    SetError(code);
    return code;
}

bool TDeviceItem::CheckOpenedCode(std::int32_t& code) {
    code = CheckOpened();
    SetError(code);
    return code == results::Success;
}

std::string TDeviceItem::GetErrorText(std::int32_t code) const {
    if (TDevicesList* owner = OwnerList()) return owner->GetErrorText(code);
    return kernel::WideToAnsi(u"Ошибка. Код №") + std::to_string(code);
}

// ---- parameters ----

TPropItem* TDeviceItem::FindParam(std::string_view name) const {
    return FParams ? FParams->FindByIdentifier(name) : nullptr;
}

std::string TDeviceItem::GetParamStr(std::string_view name) const {
    const TPropItem* row = FindParam(name);
    if (!row) return {};
    return exchange::EscapeLineBreaks(row->Value, false);
}

void TDeviceItem::SetParamStr(std::string_view name, std::string_view text) {
    const std::string encoded = exchange::EscapeLineBreaks(text, true);
    TPropItem* row = FindParam(name);
    if (!row) {
        row = static_cast<TPropItem*>(FParams->Add());
        row->Identifier = std::string(name);
    }
    row->SetValue(encoded);
}

std::int32_t TDeviceItem::GetParamInt(std::string_view name) const {
    std::string text = GetParamStr(name);
    if (text.empty()) text = "0";
    return rtl::StrToInt(text);
}

void TDeviceItem::SetParamInt(std::string_view name, std::int32_t value) {
    SetParamStr(name, std::to_string(value));
}

bool TDeviceItem::GetParamBool(std::string_view name) const {
    const std::string text = GetParamStr(name);
    return kernel::SameTextLatin(text, "True") || text == "1";
}

double TDeviceItem::GetParamFloat(std::string_view name) const {
    std::string text = GetParamStr(name);
    const char separator = kernel::ProcessFormatSettings().DecimalSeparator;
    for (char& c : text)
        if (c == '.' || c == ',') c = separator;
    if (text.empty()) text = "0";
    return rtl::StrToFloat(text);
}

bool TDeviceItem::GetParamBoolById(const TParamDefRow& row) const {
    return GetParamBool(ParamNameOf(row));
}
std::int32_t TDeviceItem::GetParamIntById(const TParamDefRow& row) const {
    return GetParamInt(ParamNameOf(row));
}
std::int64_t TDeviceItem::GetParamCurrencyById(const TParamDefRow& row) const {
    return static_cast<std::int64_t>(std::llround(GetParamFloat(ParamNameOf(row)) * 10000.0));
}
double TDeviceItem::GetParamFloatById(const TParamDefRow& row) const {
    return GetParamFloat(ParamNameOf(row));
}
std::string TDeviceItem::GetParamStrById(const TParamDefRow& row) const {
    return GetParamStr(ParamNameOf(row));
}
long double TDeviceItem::GetParamExtById(const TParamDefRow& row) const {
    return GetParamFloat(ParamNameOf(row));
}

void TDeviceItem::SetParamById(const TParamDefRow& row, const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    const bool isBool = (v->vt & ~VT_BYREF) == VT_BOOL;
    const std::string text = isBool ? (rtl::VarToBool(*v) ? "1" : "0") : rtl::VarToStr(*v);
    SetParamStr(ParamNameOf(row), text);
}

std::int32_t TDeviceItem::GetParamArray(OleVariant& array) const {
    const int rows = FParams ? FParams->Count() : 0;
    SAFEARRAYBOUND bounds[2] = {{8, 0}, {static_cast<ULONG>(rows > 0 ? rows : 1), 0}};
    SAFEARRAY* table = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!table) throw std::bad_alloc();
    OleVariant result = OleVariant::FromArray(table, VT_VARIANT);
    auto put = [&](LONG column, LONG row, const OleVariant& value) {
        LONG index[2] = {column, row};
        SafeArrayPutElement(table, index, &value);
    };
    for (int r = 0; r < rows; ++r) {
        const TPropItem* item = FParams->PropertyAt(r);
        const std::string& type = item->TypeName;
        const bool number =
            kernel::AnsiSameText(type, "Integer") || kernel::AnsiSameText(type, "Double");
        put(0, r, OleVariant(kernel::AnsiToWide(item->Identifier)));
        put(1, r, item->ValueAsVariant());
        put(2, r, OleVariant(number ? std::u16string(u"Number") : kernel::AnsiToWide(type)));
        put(3, r, item->DefaultAsVariant());
        put(4, r, OleVariant(item->ReadOnly));
        put(5, r, OleVariant(kernel::AnsiToWide(item->Name)));
        put(6, r, OleVariant(kernel::AnsiToWide(item->Description)));
    }
    array = std::move(result);
    return -1;
}

} // namespace quill::registry
