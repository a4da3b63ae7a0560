#include "capture/manager/manager_quill.h"

#include "capture/framing/escapes.h"
#include "capture/manager/manager_quill_list.h"
#include "capture/settings_dialog/kb_settings.h"
#include "exchange/xml/text_utils.h"
#include "platform/rtl/convert.h"
#include "registry/device/result_codes.h"

namespace quill::capture {

TManagerQuill::TManagerQuill(rtl::TCollection* list) : registry::TDeviceItem(list) {}

TManagerQuillList* TManagerQuill::QuillList() const {
    return dynamic_cast<TManagerQuillList*>(Collection());
}

const std::string& TManagerQuill::DecodedText(TKeyParam<std::string>& param,
                                              std::string_view name) const {
    if (!param.Row) param.Row = FindParam(name);
    static const std::string kEmpty;
    if (!param.Row) return kEmpty;
    if (!param.Valid || param.Stored != param.Row->Value) {
        param.Stored = param.Row->Value;
        param.Decoded = DecodeEscapes(exchange::EscapeLineBreaks(param.Stored, false));
        param.Valid = true;
    }
    return param.Decoded;
}

const std::string& TManagerQuill::Prefix() const {
    return DecodedText(FPref, "HookPref");
}
const std::string& TManagerQuill::Suffix() const {
    return DecodedText(FPost, "HookPost");
}

std::int32_t TManagerQuill::HookTimeOut() const {
    if (!FTimeOut.Row) FTimeOut.Row = FindParam("HookTimeOut");
    if (!FTimeOut.Row || FTimeOut.Row->Value.empty()) return 0;
    if (!FTimeOut.Valid || FTimeOut.Stored != FTimeOut.Row->Value) {
        // A text that is no integer raises here, at every key, as a fresh read would.
        const std::int32_t value = rtl::StrToInt(FTimeOut.Row->Value);
        FTimeOut.Stored = FTimeOut.Row->Value;
        FTimeOut.Decoded = value;
        FTimeOut.Valid = true;
    }
    return FTimeOut.Decoded;
}

bool TManagerQuill::DoOpen() {
    if (!registry::TDeviceItem::DoOpen()) return false;
    FUseInterCharInterval = GetParamInt("UseInterCharInterval") == 1;
    FMinDataLen = static_cast<std::uint8_t>(GetParamInt("MinDataLen") & 0xFF);
    TManagerQuillList* list = QuillList();
    if (list && !list->HookHandle()) list->InstallHook();
    return true;
}

bool TManagerQuill::DoClose() {
    if (!registry::TDeviceItem::DoClose()) return false;
    TManagerQuillList* list = QuillList();
    if (!list) return true;
    bool anotherOn = false;
    for (int i = 0; i < list->Count(); ++i) {
        const registry::TDeviceItem* other = list->GetItem(i);
        if (other != this && other->GetState() == 1) anotherOn = true;
    }
    if (!anotherOn && list->HookHandle()) list->RemoveHook();
    return true;
}

std::int32_t TManagerQuill::ShowSettings() {
    TKBSettingsValues values;
    values.Identifier = Identifier();
    values.HookPref = GetParamStr("HookPref");
    values.HookPost = GetParamStr("HookPost");
    values.ReadHookTimeOut = [this] { return GetParamInt("HookTimeOut"); };
    TKBSettingsChoice choice;
    const TManagerQuillList* list = QuillList();
    if (ShowKBSettings(values, choice, list ? list->Forms() : nullptr) != 0)
        return registry::results::Cancelled;
    SetParamStr("HookPref", choice.Prefix);
    SetParamStr("HookPost", choice.Suffix);
    SetParamInt("HookTimeOut", choice.TimeOut);
    SetIdentifier(choice.Identifier);
    return registry::results::Success;
}

} // namespace quill::capture
