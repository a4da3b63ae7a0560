#include "registry/list/devices_list.h"

#include "exchange/collections/model_list.h"
#include "infra/codes/coded_exception.h"
#include "platform/com/errorinfo.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "infra/root/guid_text.h"
#include "infra/root/module_path.h"
#include "infra/root/variant_kind.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/user/message_queue.h"
#include "registry/device/device_snapshot.h"
#include "registry/device/common_rows.h"
#include "registry/device/result_codes.h"
#include "registry/list/dialog_colours.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace quill::registry {

using namespace com;
using exchange::XmlNode;

using infra::Deref;
using infra::IsObject;
using infra::IsText;

namespace {

// A UTF-16 text variant's text, not copied.
std::u16string_view TextView(const VARIANT& v) {
    const VARIANT& d = Deref(v);
    BSTR text = d.vt == VT_BSTR                              ? d.bstrVal
                : d.vt == (VT_BYREF | VT_BSTR) && d.pbstrVal ? *d.pbstrVal
                                                             : nullptr;
    return text ? std::u16string_view(text, SysStringLen(text)) : std::u16string_view();
}

} // namespace

TDevicesList::TDevicesList(rtl::TCollectionItemClass itemClass)
    : infra::TRootCollection(itemClass) {
    FCurrent = 0;
    FPropertyPageEnabled = 0;
    FModelList = std::make_unique<TModelPluList>(this);
    FModelList->SetLibraryFileName(kernel::Utf8ToWide(infra::LibraryFileName()));
    FCreatorThread = user::GetCurrentThreadId();
    RegisterParams(kCommonRows);
    FDriverInfo = std::make_shared<const TDriverInfo>(DefaultDriverInfo());
}

TDriverInfo TDevicesList::DefaultDriverInfo() {
    TDriverInfo info;
    info.Name = u"Unknown";
    info.MakerName = u"Quill";
    info.MakerEmail = u"support@quill.invalid";
    info.MakerWeb = u"https://quill.invalid";
    info.MakerPhone = u"-";
    info.MakerAddress = u"-";
    return info;
}

TDevicesList::~TDevicesList() {
    // The devices leave while the list is whole, so that their index entries go with them and
    // host references stay valid.
    Clear();
    FModels.reset();
    FModelList.reset();
}

void TDevicesList::Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) {
    infra::TRootCollection::Notify(item, action);
    // A device that leaves alive (Detach) is taken out of the indexes here; one that is being
    // destroyed has done so in its destructor.
    if (action == rtl::TCollectionNotification::cnExtracting)
        if (auto* device = dynamic_cast<TDeviceItem*>(item)) Unindex(device);
}

void TDevicesList::GuidChanged(TDeviceItem* device, const GUID& previous) {
    auto range = FByGuid.equal_range(previous);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == device) {
            FByGuid.erase(it);
            break;
        }
    FByGuid.emplace(device->Guid(), device);
}

int TDevicesList::InstanceNumber(std::string_view identifier, std::string_view prefixText) {
    const std::string prefix = kernel::AnsiUpperCase(prefixText);
    const std::string upper = kernel::AnsiUpperCase(identifier);
    if (upper.size() <= prefix.size() || upper.compare(0, prefix.size(), prefix) != 0) return 0;
    const std::string digits = upper.substr(prefix.size());
    if (digits.size() > 5 || digits[0] == '0') return 0;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n <= 10000 ? n : 0;
}

void TDevicesList::IdentifierChanged(const std::string& previous, const std::string& current) {
    if (!previous.empty()) {
        auto it = FIdentifiers.find(kernel::AnsiUpperCase(previous));
        if (it != FIdentifiers.end() && --it->second <= 0) {
            FIdentifiers.erase(it);
            // The hint belongs to the prefix it was found for, which need not be the current
            // model's any more.
            const int n = InstanceNumber(previous, FHintPrefix);
            if (n > 0 && n < FFreeHint) FFreeHint = n;
        }
    }
    if (!current.empty()) ++FIdentifiers[kernel::AnsiUpperCase(current)];
}

void TDevicesList::Unindex(TDeviceItem* device) {
    auto range = FByGuid.equal_range(device->Guid());
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == device) {
            FByGuid.erase(it);
            IdentifierChanged(device->Identifier(), "");
            return;
        }
}

TDeviceItem* TDevicesList::GetItem(int index) const {
    return static_cast<TDeviceItem*>(Items(index));
}

std::string TDevicesList::GetErrorText(std::int32_t code) const {
    static const std::string prefix = kernel::WideToAnsi(u"Ошибка. Код №");
    return prefix + std::to_string(code);
}

void TDevicesList::RegisterParams(std::span<const TParamDefRow> rows) {
    // A row finds its definition by its own name, which may match a definition's name or second
    // name; the row's second name is only taken over, so that an alias never lets one row
    // overwrite the definition of another parameter.
    TPropList& defs = ModelParamDefs();
    for (const TParamDefRow& row : rows)
        defs.AddDefinition(
            RowText(row.Name, capacity::Name), RowText(row.SecondName, capacity::Name),
            RowText(row.Caption, capacity::Name), RowText(row.TypeName, capacity::TypeName),
            row.ReadOnly != 0, RowText(row.DefaultValue, capacity::Text),
            RowText(row.Description, capacity::Text));
}

void TDevicesList::SetParamDefault(std::string_view name, const VARIANT& value, bool readOnly) {
    TPropItem* item = ModelParamDefs().FindByIdentifier(name);
    if (!item) return;
    item->DefaultValue = rtl::VarToStr(value);
    item->Value = item->DefaultValue;
    item->ReadOnly = readOnly;
}

TPropList& TDevicesList::ModelParamDefs() const {
    return FModelList->CurrentProperties();
}

void TDevicesList::CopyModelParams(TPropList& target) const {
    const TPropList& defs = ModelParamDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        auto* copy = static_cast<TPropItem*>(target.Add());
        copy->Assign(*defs.PropertyAt(i));
    }
}

std::u16string TDevicesList::ModelName() const {
    return FModelList->Current()->Name;
}
std::u16string TDevicesList::InstancePrefix() const {
    return FModelList->Current()->InstancePrefix;
}
std::u16string TDevicesList::EquipmentClass() const {
    return FModelList->Current()->EquipmentClass;
}

// ---- lookups ----

TDeviceItem* TDevicesList::FindByGuid(const GUID& guid) const {
    auto range = FByGuid.equal_range(guid);
    TDeviceItem* first = nullptr;
    int firstIndex = 0;
    for (auto it = range.first; it != range.second; ++it) {
        if (!first) {
            first = it->second;
            continue;
        }
        // Several devices with one GUID: the first in index order wins.
        if (firstIndex == 0) firstIndex = first->Index();
        const int index = it->second->Index();
        if (index < firstIndex) {
            first = it->second;
            firstIndex = index;
        }
    }
    return first;
}

TDeviceItem* TDevicesList::FindByIdentifier(std::string_view text) const {
    const std::string key = kernel::UpperCaseLatin(text);
    for (int i = 0; i < Count(); ++i)
        if (kernel::UpperCaseLatin(GetItem(i)->Identifier()) == key) return GetItem(i);
    return nullptr;
}

std::string TDevicesList::ProposeIdentifier(std::string_view except) const {
    const std::string prefix = kernel::WideToAnsi(InstancePrefix());
    if (prefix != FHintPrefix) {
        FHintPrefix = prefix;
        FFreeHint = 1;
    }
    // An identifier equal to `except` does not count as taken.
    const int exceptNumber = InstanceNumber(except, prefix);
    if (exceptNumber > 0 && exceptNumber < FFreeHint) return prefix + std::to_string(exceptNumber);
    for (int i = FFreeHint; i <= 10000; ++i) {
        const std::string candidate = prefix + std::to_string(i);
        if (i == exceptNumber || !FIdentifiers.contains(kernel::AnsiUpperCase(candidate))) {
            if (i != exceptNumber) FFreeHint = i;
            return candidate;
        }
    }
    return std::string(except);
}

std::string TDevicesList::CurrentIdentifier() const {
    if (FCurrent <= 0 || FCurrent > Count()) return {};
    return GetItem(FCurrent - 1)->Identifier();
}

void TDevicesList::SetCurrentIdentifier(std::string_view text) {
    if (FCurrent > 0 && FCurrent <= Count())
        GetItem(FCurrent - 1)->SetIdentifier(std::string(text));
}

std::int32_t TDevicesList::SelectDevice(const VARIANT& key) {
    const VARIANT& k = Deref(key);
    if (k.vt == VT_I4 || k.vt == (VT_BYREF | VT_I4)) {
        const std::int32_t n = k.vt == VT_I4 ? k.lVal : *k.plVal;
        if (n <= 0 || n > Count()) return results::DeviceNotFound;
        SetCurrent(n);
        GetItem(n - 1)->SetError(results::Success);
        return results::Success;
    }
    if (IsText(k)) {
        const std::string name = rtl::VarToStr(k);
        for (int i = 0; i < Count(); ++i)
            if (kernel::AnsiSameText(GetItem(i)->Identifier(), name)) {
                SetCurrent(i + 1);
                GetItem(i)->SetError(results::Success);
                return results::Success;
            }
    }
    return results::DeviceNotFound;
}

// ---- whole-list operations ----

void TDevicesList::SwitchAllOff() {
    for (int i = 0; i < Count(); ++i)
        GetItem(i)->SetState(0);
}

void TDevicesList::ClearAll() {
    Clear();
    AllDevicesReleased();
}

void TDevicesList::RemoveThreadDevices() {
    const std::uint32_t thread = user::GetCurrentThreadId();
    int i = 0;
    while (i < Count()) {
        TDeviceItem* device = GetItem(i);
        if (device->FCreatorThread == thread && thread != FCreatorThread)
            device->CloseItem(); // it leaves the list: the same index now holds the next one
        else
            ++i;
    }
    if (Count() == 0) AllDevicesReleased();
}

// ---- adding devices ----

TDeviceItem* TDevicesList::NewDevice(int index) {
    rtl::TCollectionItem* item = index < 0 ? Add() : Insert(index);
    auto* device = dynamic_cast<TDeviceItem*>(item);
    if (!device) throw rtl::EInvalidCast("The device list's item class is no device");
    return device;
}

void TDevicesList::LoadNewDevice(TDeviceItem* device, const VARIANT& settings) {
    try {
        device->LoadDeviceSettings(settings);
        device->ApplyExtraParams();
    } catch (...) {
        device->CloseItem(); // the host never received it
        throw;
    }
}

TDeviceItem* TDevicesList::LookUpSettingsDevice(const VARIANT& settings) {
    if (!IsObject(settings)) return nullptr;
    XmlNode node = xml::NodeFromVariant(Deref(settings));
    XmlNode element = exchange::SelectSingleNodeByNumber(node, exchange::node::AnyDevice);
    const GUID guid =
        infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id));
    TDeviceItem* device = FindByGuid(guid);
    if (device && device->FCreatorThread != FCreatorThread) {
        device->CloseItem();
        device = nullptr;
    }
    return device;
}

void TDevicesList::AddOrFindDevice(const VARIANT& settings, ComPtr<IDeviceItem>& intf) {
    FModelList->LoadModels(settings);
    ReadColours(settings);
    TDeviceItem* device = LookUpSettingsDevice(settings);
    if (!device) {
        device = NewDevice(-1);
        LoadNewDevice(device, settings);
    } else {
        // A load that fails half-way leaves the device as it was.
        const TDeviceSnapshot before(*device);
        try {
            device->LoadDeviceSettings(settings);
            device->ApplyExtraParams();
        } catch (...) {
            before.Restore(*device);
            throw;
        }
    }
    intf = ComPtr<IDeviceItem>(static_cast<IDeviceItem*>(device));
}

void TDevicesList::InsertDevice(const VARIANT& settings, ComPtr<IDeviceItem>& intf) {
    FModelList->LoadModels(settings);
    ReadColours(settings);
    TDeviceItem* device = NewDevice(0);
    LoadNewDevice(device, settings);
    intf = ComPtr<IDeviceItem>(static_cast<IDeviceItem*>(device));
}

void TDevicesList::FindDevice(const VARIANT& settings, ComPtr<IDeviceItem>& intf) {
    FModelList->LoadModels(settings);
    ReadColours(settings);
    TDeviceItem* device = LookUpSettingsDevice(settings);
    intf = device ? ComPtr<IDeviceItem>(static_cast<IDeviceItem*>(device)) : nullptr;
}

std::int32_t TDevicesList::CloseDevice(const GUID& guid) {
    const auto guard = Use(); // a model interface forwards here from a host's thread
    TDeviceItem* device = FindByGuid(guid);
    if (!device) return results::Cancelled;
    device->CloseItem();
    return results::Success;
}

std::int32_t TDevicesList::ShowDeviceSettings(const GUID& guid) {
    TDeviceItem* device = FindByGuid(guid);
    return device ? device->ShowSettings() : results::Cancelled;
}

std::int32_t TDevicesList::AddDeviceWithDialog(OleVariant& settings, bool showDialog) {
    FModelList->LoadModels(settings);
    TDeviceItem* device = NewDevice(-1);
    LoadNewDevice(device, settings);
    std::int32_t result = results::Success;
    try {
        // The dialog is the new device's own: looking it up by its GUID would find an older
        // device that carries the same code and edit that one instead.
        if (showDialog) result = device->ShowSettings();
        if (result != results::Success) {
            device->CloseItem();
            return result;
        }
        OleVariant document = device->BuildSettingsDocument();
        if (IsText(settings))
            settings = OleVariant(xml::NodeFromVariant(document)->Xml());
        else
            settings = std::move(document);
    } catch (...) {
        device->CloseItem();
        throw;
    }
    return result;
}

// ---- settings ----

void TDevicesList::LoadList(const VARIANT& settings) {
    XmlNode root;
    std::string settingsText;
    bool keepText = false;
    if (IsText(settings)) {
        // A text too large to parse is refused before it is copied.
        xml::CheckDocumentSize(TextView(settings));
        std::u16string text = rtl::VarToWide(settings);
        root = exchange::LoadSettingsText(text, true);
        keepText = root && kernel::WideSameText(root->NodeName(),
                                                exchange::NodeName(exchange::node::System));
        if (keepText) settingsText = kernel::WideToAnsi(text);
    } else if (IsObject(settings)) {
        root = xml::NodeFromVariant(Deref(settings));
        keepText = root != nullptr;
        if (keepText) settingsText = kernel::WideToAnsi(root->Xml());
    } else {
        return;
    }
    // All or nothing: a device that fails to load (or memory that runs out) takes the list back
    // to what it was, the devices created by this load removed and those it changed restored.
    std::unique_ptr<exchange::TModelList> oldModels = std::move(FModels);
    std::vector<TDeviceItem*> created;
    std::vector<std::pair<TDeviceItem*, TDeviceSnapshot>> changed;
    try {
        if (root) LoadDevices(root, created, changed);
    } catch (...) {
        for (auto it = created.rbegin(); it != created.rend(); ++it)
            (*it)->CloseItem();
        for (auto it = changed.rbegin(); it != changed.rend(); ++it)
            it->second.Restore(*it->first);
        FModels = std::move(oldModels);
        throw;
    }
    if (keepText) FSettingsText.swap(settingsText);
}

void TDevicesList::LoadDevices(const XmlNode& root, std::vector<TDeviceItem*>& created,
                               std::vector<std::pair<TDeviceItem*, TDeviceSnapshot>>& changed) {
    const auto devices = exchange::SelectNodesByNumber(root, exchange::node::AnyDevice);
    // Every element is a "Устройство" of the same document, so what a device's own load would
    // find out about the document's layout is found out once: asking it per device would make
    // loading n devices take time in n squared.
    const bool olderLayout = devices.Length() > 0 && TDeviceItem::IsOlderLayout(root);
    created.reserve(devices.Length());
    // Room in the indexes for every device the document may add, so that they are not rebuilt
    // again and again while a large list loads.
    FByGuid.reserve(FByGuid.size() + devices.Length());
    FIdentifiers.reserve(FIdentifiers.size() + devices.Length());
    std::unordered_set<const TDeviceItem*> saved;
    for (std::size_t i = 0; i < devices.Length(); ++i) {
        XmlNode element = devices.Item(i);
        const GUID guid =
            infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id));
        TDeviceItem* device = FindByGuid(guid);
        if (!device) {
            device = NewDevice(-1);
            created.push_back(device);
        } else {
            // Item IDs only grow, so a device this load created has an ID from the first one's
            // on; any other is saved before its first change.
            const bool createdHere = !created.empty() && device->ID() >= created.front()->ID();
            if (!createdHere && saved.insert(device).second)
                changed.emplace_back(device, TDeviceSnapshot(*device));
        }
        device->LoadDeviceElement(element, olderLayout);
    }
}

std::int32_t TDevicesList::GetDeviceSettings(const VARIANT& key, OleVariant& result) {
    result.Clear();
    if (IsText(key) && infra::IsGuidText(Deref(key))) {
        TDeviceItem* device = FindByGuid(infra::GuidFromText(rtl::VarToWide(key)));
        if (!device) return results::DeviceNotFound;
        result = device->BuildSettingsDocument();
        return results::Success;
    }
    return AllDeviceSettings(result);
}

std::int32_t TDevicesList::GetDeviceSettings(std::string_view key, OleVariant& result) {
    result.Clear();
    // An 8-bit key is a GUID text (the empty text included) or else an identifier.
    if (infra::IsGuidText(OleVariant(kernel::AnsiToWide(key)))) {
        TDeviceItem* device = FindByGuid(infra::GuidFromText(key));
        if (!device) return results::DeviceNotFound;
        result = device->BuildSettingsDocument();
        return results::Success;
    }
    TDeviceItem* device = FindByIdentifier(key);
    if (!device) return results::DeviceNotFound;
    result = device->BuildSettingsDocument();
    return results::Success;
}

namespace {

// A device named in a comment: characters a comment cannot hold (controls, a run of hyphens, a
// final hyphen) are shown as "?" and "- ".
std::u16string CommentSafe(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x20) c = u'?';
        if (c == u'-' && !out.empty() && out.back() == u'-') out += u' ';
        out += c;
    }
    return out;
}

} // namespace

std::int32_t TDevicesList::AllDeviceSettings(OleVariant& result) const {
    // Every device's settings element, copied node by node under one root "EquList", in index
    // order. A device whose document cannot be built is left out and named in a comment where it
    // would stand, so that the others still export and the list's text still loads.
    auto list = exchange::CreateXmlDocument();
    list->SetAsync(false);
    XmlNode root = list->CreateElement(u"EquList");
    list->SetDocumentElement(root);
    for (int i = 0; i < Count(); ++i) {
        const TDeviceItem* device = GetItem(i);
        try {
            const OleVariant document = device->BuildSettingsDocument();
            auto node = xml::NodeFromVariant(document);
            auto element = static_cast<xml::TXmlDocument*>(node.Get())->DocumentElement();
            root->AppendChild(list->ImportNode(element, true));
        } catch (const rtl::Exception& e) {
            const std::u16string report =
                u" Устройство \"" + CommentSafe(kernel::AnsiToWide(device->Identifier())) + u"\" " +
                infra::GuidToText(device->Guid()) + u" не выгружено: " +
                CommentSafe(kernel::AnsiToWide(e.Message())) + u" ";
            root->AppendChild(list->CreateComment(report));
        }
    }
    result = xml::NodeToVariant(XmlNode(list.Get()));
    return results::Success;
}

void TDevicesList::LoadModelList(const VARIANT& settings) {
    FModels.reset();
    const std::u16string file = kernel::Utf8ToWide(infra::LibraryFileName());
    FModels = exchange::CreateModelList(settings, u"", u"", file, u"", u"", u"0");
}

void TDevicesList::ReadColours(const VARIANT& settings) {
    if (!IsObject(settings)) return;
    XmlNode node = xml::NodeFromVariant(Deref(settings));
    XmlNode item = node ? node->SelectSingleNode(u"//ColorItem") : nullptr;
    if (!item) return;
    auto read = [&](const char16_t* name) {
        auto value = item->GetAttribute(name);
        auto number = value ? rtl::TryStrToInt(kernel::WideToAnsi(*value)) : std::nullopt;
        return number.value_or(-1);
    };
    SetDialogColours({read(u"ColorForm"), read(u"ColorBody"), read(u"ColorFont")});
}

} // namespace quill::registry

namespace quill::registry {

// ---- what the model interfaces forward ----

void TDevicesList::GetDllInterface(IDllObject** object) {
    if (!FDriverObject) infra::RaiseCodedError(infra::codes::NoDriverObject);
    FDriverObject->AddRef();
    *object = FDriverObject;
}

void TDevicesList::AddOrFindDevice(const VARIANT& settings, IDeviceItem** device) {
    const auto guard = Use();
    ComPtr<IDeviceItem> found;
    AddOrFindDevice(settings, found);
    *device = found.Detach();
}

void TDevicesList::FindDevice(const VARIANT& settings, IDeviceItem** device) {
    const auto guard = Use();
    ComPtr<IDeviceItem> found;
    FindDevice(settings, found);
    *device = found.Detach();
}

void TDevicesList::InsertDevice(const VARIANT& settings, IDeviceItem** device) {
    const auto guard = Use();
    ComPtr<IDeviceItem> found;
    InsertDevice(settings, found);
    *device = found.Detach();
}

void TDevicesList::SetSettingsText(std::u16string_view text) {
    const auto guard = Use();
    FSettingsText = kernel::WideToAnsi(text);
}

} // namespace quill::registry
