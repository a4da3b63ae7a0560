#include "capture/manager/manager_quill.h"

#include "capture/manager/manager_quill_list.h"
#include "capture/settings_dialog/kb_settings.h"
#include "exchange/xml/text_utils.h"
#include "platform/rtl/convert.h"

namespace quill::capture {

TManagerQuill::TManagerQuill(rtl::TCollection* list) : registry::TDeviceItem(list) {}

TManagerQuillList* TManagerQuill::QuillList() const {
    return dynamic_cast<TManagerQuillList*>(Collection());
}

const registry::TPropItem* TManagerQuill::Row(const registry::TPropItem*& cache,
                                              std::string_view name) const {
    if (!cache) cache = FindParam(name);
    return cache;
}

std::int32_t TManagerQuill::HookTimeOut() const {
    const registry::TPropItem* row = Row(FTimeOutRow, "HookTimeOut");
    if (!row || row->Value.empty()) return 0;
    return rtl::StrToInt(row->Value);
}

std::string TManagerQuill::HookPref() const {
    const registry::TPropItem* row = Row(FPrefRow, "HookPref");
    return row ? exchange::EscapeLineBreaks(row->Value, false) : std::string();
}

std::string TManagerQuill::HookPost() const {
    const registry::TPropItem* row = Row(FPostRow, "HookPost");
    return row ? exchange::EscapeLineBreaks(row->Value, false) : std::string();
}

bool TManagerQuill::DoOpen() {
    if (!registry::TDeviceItem::DoOpen()) return false;
    FUseInterCharInterval = GetParamInt("UseInterCharInterval") == 1;
    FMinDataLen = static_cast<std::uint8_t>(GetParamInt("MinDataLen") & 0xFF);
    TManagerQuillList* list = QuillList();
    if (list && !list->FHookHandle) list->InstallHook();
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
    if (!anotherOn && list->FHookHandle) list->RemoveHook();
    return true;
}

std::int32_t TManagerQuill::ShowSettings() {
    TKBSettingsValues values;
    values.Identifier = Identifier();
    values.HookPref = GetParamStr("HookPref");
    values.HookPost = GetParamStr("HookPost");
    values.ReadHookTimeOut = [this] { return GetParamInt("HookTimeOut"); };
    TKBSettingsChoice choice;
    if (ShowKBSettings(values, choice) != 0) return -1;
    SetParamStr("HookPref", choice.Prefix);
    SetParamStr("HookPost", choice.Suffix);
    SetParamInt("HookTimeOut", choice.TimeOut);
    SetIdentifier(choice.Identifier);
    return 0;
}

} // namespace quill::capture
