#include "plugin/driver/base_dll_obj.h"

#include "infra/codes/coded_exception.h"
#include "infra/root/module_path.h"
#include "infra/version/version_info.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/safecall.h"
#include "platform/user/clock.h"

namespace quill::plugin {

using namespace com;

TBaseDllObj* DllObject = nullptr;

TBaseDllObj::TBaseDllObj(std::span<const MethodRecord> tableA, std::span<const MethodRecord> tableB,
                         std::span<const PropertyRecord> table1,
                         rtl::TCollectionItemClass deviceItemClass,
                         DevicesListClass deviceListClass, CallEntryFunc callEntry)
    : infra::TRootObject(nullptr) {
    Option = 0;
    PluginControl = std::make_unique<TPluginControl>(&DllObject, callEntry);
    LibraryPath = kernel::Utf8ToWide(infra::ModuleFileName(false));
    const auto version = infra::TVersionInfo::ForOwnModule();
    VersionText = kernel::AnsiToWide(version->FileVersion());
    Build = static_cast<std::uint16_t>(version->VersionNumbers().Low & 0xFFFF);
    MethodTableA = tableA;
    MethodTableB = tableB;
    PropertyTable1 = table1;
    RebuildIndex();
    Devices.reset(deviceListClass(deviceItemClass));
    Devices->SetDriverObject(static_cast<IDllObject*>(this));
    const std::string mutexName = "Global\\" + Devices->DriverIdentifier();
    InstanceMutex = kernel::OpenMutexA(kernel::MUTEX_ALL_ACCESS, false, mutexName.c_str());
    if (!InstanceMutex)
        InstanceMutex = kernel::CreateMutexA(SecurityAttributes.get(), true, mutexName.c_str());
}

TBaseDllObj::~TBaseDllObj() {
    Devices.reset();
    user::Sleep(10);
    PluginControl.reset();
    if (InstanceMutex) {
        kernel::ReleaseMutex(InstanceMutex); // fails harmlessly when another instance holds it
        kernel::CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
}

void TBaseDllObj::SetPropertyTable2(std::span<const PropertyRecord> table2) {
    PropertyTable2 = table2;
    RebuildIndex();
}

void TBaseDllObj::RebuildIndex() {
    FIndex = TMemberIndex(MethodTableA, MethodTableB, PropertyTable1, PropertyTable2);
    // Records that the event-support request made read-only stay so for the object's life, also
    // when property table 2 is set later.
    FMadeReadOnly.resize(PropertyTable1.size(), false);
    FAnsiNames1.clear();
    for (const auto& record : PropertyTable1)
        FAnsiNames1.push_back(kernel::WideToAnsi(record.NameRu));
    FAnsiNames2.clear();
    for (const auto& record : PropertyTable2)
        FAnsiNames2.push_back(kernel::WideToAnsi(record.NameRu));
}

const std::string& TBaseDllObj::AnsiNameRu(const PropertyRecord& record) const {
    if (!PropertyTable1.empty() && &record >= PropertyTable1.data() &&
        &record < PropertyTable1.data() + PropertyTable1.size())
        return FAnsiNames1[static_cast<std::size_t>(&record - PropertyTable1.data())];
    return FAnsiNames2[static_cast<std::size_t>(&record - PropertyTable2.data())];
}

bool TBaseDllObj::IsReadOnly(const PropertyRecord& record) const {
    if (record.ReadOnly) return true;
    if (!PropertyTable1.empty() && &record >= PropertyTable1.data() &&
        &record < PropertyTable1.data() + PropertyTable1.size())
        return FMadeReadOnly[static_cast<std::size_t>(&record - PropertyTable1.data())];
    return false;
}

const MethodRecord* TBaseDllObj::FindMethod(std::u16string_view name) const {
    return FIndex.FindMethod(kernel::WideToAnsi(name));
}

const PropertyRecord* TBaseDllObj::FindProperty(std::u16string_view name) const {
    return FIndex.FindProperty(kernel::WideToAnsi(name));
}

registry::TDeviceItem* TBaseDllObj::CurrentDevice(rtl::TObject* context) const {
    if (IsHostTask(context)) {
        const auto* task = static_cast<const THostTask*>(context);
        registry::TDeviceItem* device = Devices->FindByGuid(task->DeviceGuid());
        if (device) device->SetCallContext(context);
        return device;
    }
    const std::int32_t n = Devices->Current();
    if (n > 0 && Devices->Count() >= n) {
        registry::TDeviceItem* device = Devices->GetItem(n - 1);
        device->SetCallContext(nullptr);
        return device;
    }
    return nullptr;
}

TBaseDllObj* TBaseDllObj::GetBaseDll(rtl::TObject* context) {
    if (auto* driver = dynamic_cast<TBaseDllObj*>(context)) return driver;
    TBaseDllObj* result = nullptr;
    if (IsHostTask(context)) {
        auto* slot = static_cast<rtl::TObject*>(static_cast<THostTask*>(context)->DriverSlot());
        if (slot) {
            result = dynamic_cast<TBaseDllObj*>(slot);
            if (!result) throw rtl::EInvalidCast("Invalid class typecast");
        }
    }
    if (!result)
        throw rtl::Exception(
            kernel::WideToAnsi(u"Вызов метода GetBaseDll с очень плохим параметром!"));
    return result;
}

// ---- interfaces ----

void* TBaseDllObj::GetInterface(REFIID iid) {
    if (iid == IDllObject::Guid) return static_cast<IDllObject*>(this);
    if (iid == IDllMemberCheck::Guid) return static_cast<IDllMemberCheck*>(this);
    return infra::TRootObject::GetInterface(iid);
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::QueryInterface(REFIID iid, void** object) {
    return infra::TRootObject::QueryInterface(iid, object);
}

namespace {
template <class T> void CheckOut(T* out) {
    if (!out) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
}
} // namespace

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetLibraryPath(BSTR* path) {
    return rtl::SafeCall([&] {
        CheckOut(path);
        *path = BStrFromText(LibraryPath);
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetVersion(BSTR* version) {
    return rtl::SafeCall([&] {
        CheckOut(version);
        *version = BStrFromText(VersionText);
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetBuild(std::uint16_t* build) {
    return rtl::SafeCall([&] {
        CheckOut(build);
        *build = Build;
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetDriverKind(std::int32_t* kind) {
    return rtl::SafeCall([&] {
        CheckOut(kind);
        *kind = DriverKind();
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetInterfaceLevel(std::int32_t* level) {
    return rtl::SafeCall([&] {
        CheckOut(level);
        *level = 1;
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetModel(std::int32_t index, IPluModel** model) {
    const auto guard = Devices->Use();
    return rtl::SafeCall([&] {
        CheckOut(model);
        *model = nullptr;
        registry::TModelPluList& models = Devices->ModelList();
        if (index < 0 || index >= models.Count()) return;
        auto* item = static_cast<registry::TModelPluItem*>(models.Items(index));
        void* found = nullptr;
        const HRESULT hr = item->QueryInterface(IID_IPluModel2, &found);
        if (FAILED(hr)) throw rtl::EOleSysError("Interface not supported", hr);
        *model = static_cast<IPluModel*>(found);
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::SetOption(std::int32_t option) {
    return rtl::SafeCall([&] { Option = option; });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::SetEventSupport(IUnknown* sink) {
    const auto guard = Devices->Use();
    return rtl::SafeCall([&] {
        ComPtr<IEventSupport2> support;
        if (sink) {
            support = ComPtr<IEventSupport2>::QueryFrom(sink);
            // A plain failure, as every other failure of the interface: E_UNEXPECTED with the
            // message, not the query's own result.
            if (!support) throw rtl::Exception("Interface not supported");
        }
        EventSink = support;
        Devices->EventSink = EventSink;
    });
}

HRESULT STDMETHODCALLTYPE TBaseDllObj::GetMemberCheck(IDllMemberCheck** check) {
    if (!check) return E_POINTER;
    *check = nullptr;
    return QueryInterface(IDllMemberCheck::Guid, reinterpret_cast<void**>(check));
}

std::int32_t TBaseDllObj::ModelPropertyIndex(const std::string& ansiName) const {
    registry::TModelPluList& models = Devices->ModelList();
    if (models.Count() == 0) return -1;
    const auto* model = static_cast<registry::TModelPluItem*>(models.Items(0));
    const registry::TPropItem* item = model->Properties().FindByIdentifier(ansiName);
    return item ? item->Index() : -1;
}

bool STDMETHODCALLTYPE TBaseDllObj::IsProperty(BSTR name) {
    try {
        const auto guard = Devices->Use(); // the model's properties belong to the list
        const std::string ansi = kernel::WideToAnsi(TextFromBStr(name));
        return FIndex.PropertyId(ansi) >= 0 || ModelPropertyIndex(ansi) >= 0;
    } catch (...) {
        return false;
    }
}

bool STDMETHODCALLTYPE TBaseDllObj::IsMethod(BSTR name) {
    try {
        return FindMethod(TextFromBStr(name)) != nullptr;
    } catch (...) {
        return false;
    }
}

bool STDMETHODCALLTYPE TBaseDllObj::IsStandardMethod(BSTR name) {
    try {
        const std::u16string text = TextFromBStr(name);
        for (const auto& record : MethodTableB)
            if (kernel::WideSameText(text, NamePart(record.Name, false)) ||
                kernel::WideSameText(text, NamePart(record.Name, true)))
                return true;
        return false;
    } catch (...) {
        return false;
    }
}

bool STDMETHODCALLTYPE TBaseDllObj::IsSwitchOn(BSTR name) {
    try {
        const std::u16string text = TextFromBStr(name);
        return kernel::WideSameText(text, u"Включить") || kernel::WideSameText(text, u"SwitchOn");
    } catch (...) {
        return false;
    }
}

bool STDMETHODCALLTYPE TBaseDllObj::IsSwitchOff(BSTR name) {
    try {
        const std::u16string text = TextFromBStr(name);
        return kernel::WideSameText(text, u"Выключить") || kernel::WideSameText(text, u"SwitchOff");
    } catch (...) {
        return false;
    }
}

} // namespace quill::plugin
