// The driver object apart from its dispatch: construction and destruction, the instance mutex,
// IDllObject and IDllMemberCheck as a host calls them.
#include "infra/version/version_info.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/named_mutex.h"
#include "plugin/test_driver.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

using namespace quill;
using namespace quill::plugin;
using com::BStr;
using com::ComPtr;

namespace {

bool MutexExists(const char* name) {
    kernel::HANDLE handle = kernel::OpenMutexA(kernel::MUTEX_ALL_ACCESS, false, name);
    if (!handle) return false;
    kernel::CloseHandle(handle);
    return true;
}

// An object of the host's that offers IUnknown only.
class TPlainObject : public com::IUnknown {
  public:
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (iid == com::IUnknown::Guid) {
            *object = this;
            AddRef();
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    com::ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    com::ULONG Refs = 0;
};

} // namespace

TEST(DriverObject, ConstructionSetsUpListControlAndMutexForItsLifetime) {
    // Mutexes are machine-wide: on Linux a folder of this test's own keeps other test processes'
    // drivers out of the picture (on Windows the name is the system's, shared by every process).
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("quill-mutex-test-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    setenv("QUILL_RUNTIME_DIR", folder.string().c_str(), 1);
    EXPECT_FALSE(MutexExists("Global\\Quill.TestDriver"));
    {
        test::TTestDriver driver;
        EXPECT_TRUE(MutexExists("Global\\Quill.TestDriver"));
        EXPECT_NE(driver.InstanceMutex, nullptr);
        ASSERT_TRUE(driver.Devices);
        EXPECT_EQ(driver.Devices->DriverObject(), static_cast<IDllObject*>(&driver));
        ASSERT_TRUE(driver.PluginControl);
        EXPECT_EQ(PluginControlHolder(), static_cast<IPluginControl*>(driver.PluginControl.get()));
        EXPECT_EQ(driver.Option, 0);
        EXPECT_EQ(driver.MethodTableA.data(), test::kTableA); // referenced, not copied
        EXPECT_EQ(driver.PropertyTable1.data(), test::kTable1);
        EXPECT_TRUE(driver.PropertyTable2.empty());
    }
    EXPECT_FALSE(MutexExists("Global\\Quill.TestDriver"));
    EXPECT_EQ(PluginControlHolder(), nullptr);
    unsetenv("QUILL_RUNTIME_DIR");
    std::filesystem::remove_all(folder);
}

TEST(DriverObject, ItsModelsHandOutThisDriverNotTheInstalledOne) {
    test::ScopedTestDriver installed;
    test::TTestDriver other;
    IPluModel* model = nullptr;
    ASSERT_EQ(other.GetModel(0, &model), com::S_OK);
    ASSERT_NE(model, nullptr);
    IDllObject* object = nullptr;
    EXPECT_EQ(model->GetDllInterface(&object), com::S_OK);
    EXPECT_EQ(object, static_cast<IDllObject*>(&other));
    if (object) object->Release();
    model->Release();
}

TEST(DriverObject, IdentityFromTheLibraryFile) {
    test::TTestDriver driver;
    BStr path, version;
    ASSERT_EQ(driver.GetLibraryPath(path.ReleaseAndGetAddressOf()), com::S_OK);
    const std::string file = kernel::WideToUtf8(com::TextFromBStr(path.Get()));
    EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
    infra::TVersionInfo info(file);
    ASSERT_TRUE(info.Valid()); // the tests' own block (test_version_block.cpp)
    ASSERT_EQ(driver.GetVersion(version.ReleaseAndGetAddressOf()), com::S_OK);
    EXPECT_EQ(com::TextFromBStr(version.Get()), u"3.1.4 (проверка)");
    std::uint16_t build = 0xFFFF;
    ASSERT_EQ(driver.GetBuild(&build), com::S_OK);
    EXPECT_EQ(build, 15);
    std::int32_t kind = 0, level = 0;
    EXPECT_EQ(driver.GetDriverKind(&kind), com::S_OK);
    EXPECT_EQ(kind, 3);
    EXPECT_EQ(driver.GetInterfaceLevel(&level), com::S_OK);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(driver.SetOption(-12), com::S_OK);
    EXPECT_EQ(driver.Option, -12);
    EXPECT_EQ(driver.GetBuild(nullptr), com::E_POINTER); // a nil out value is refused, not written
}

TEST(DriverObject, GetModelPastTheLastIsNilWithSuccess) {
    test::TTestDriver driver;
    const int count = driver.Devices->ModelList().Count();
    ASSERT_GE(count, 1);
    IPluModel* model = reinterpret_cast<IPluModel*>(0x1);
    EXPECT_EQ(driver.GetModel(count, &model), com::S_OK);
    EXPECT_EQ(model, nullptr);
    model = reinterpret_cast<IPluModel*>(0x1);
    EXPECT_EQ(driver.GetModel(-1, &model), com::S_OK);
    EXPECT_EQ(model, nullptr);
    ASSERT_EQ(driver.GetModel(0, &model), com::S_OK);
    ASSERT_NE(model, nullptr);
    // The interface handed out answers as IPluModel2.
    void* again = nullptr;
    EXPECT_EQ(model->QueryInterface(IID_IPluModel2, &again), com::S_OK);
    EXPECT_EQ(again, static_cast<void*>(model));
    static_cast<IPluModel*>(again)->Release();
    com::GUID id{};
    EXPECT_EQ(model->GetId(&id), com::S_OK);
    EXPECT_EQ(id, test::kTestDriverModelGuid);
    model->Release();
}

TEST(DriverObject, SetEventSupportTakesOnlyAnEventSink) {
    test::TTestEventSink sink;
    TPlainObject plain;
    test::TTestDriver driver;
    ASSERT_EQ(driver.SetEventSupport(&sink), com::S_OK);
    EXPECT_EQ(driver.EventSink.Get(), static_cast<IEventSupport2*>(&sink));
    EXPECT_EQ(driver.Devices->EventSink.Get(), static_cast<IEventSupport2*>(&sink));
    EXPECT_EQ(sink.Refs.load(), 2u);

    // An object that is no event sink fails the operation as its other failures do, and the sink
    // it had stays.
    EXPECT_EQ(driver.SetEventSupport(&plain), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"Interface not supported");
    EXPECT_EQ(plain.Refs, 0u);
    EXPECT_EQ(driver.EventSink.Get(), static_cast<IEventSupport2*>(&sink));

    ASSERT_EQ(driver.SetEventSupport(nullptr), com::S_OK);
    EXPECT_FALSE(driver.EventSink);
    EXPECT_FALSE(driver.Devices->EventSink);
    EXPECT_EQ(sink.Refs.load(), 0u);
}

TEST(DriverObject, GetMemberCheckHandsOutTheSameObject) {
    test::TTestDriver driver;
    IDllMemberCheck* check = reinterpret_cast<IDllMemberCheck*>(0x1);
    ASSERT_EQ(driver.GetMemberCheck(&check), com::S_OK);
    EXPECT_EQ(check, static_cast<IDllMemberCheck*>(&driver));
    check->Release();
    EXPECT_EQ(driver.GetMemberCheck(nullptr), com::E_POINTER);
    // Reached through IDllObject as a host would.
    IDllObject* object = nullptr;
    ASSERT_EQ(static_cast<IDllMemberCheck*>(&driver)->QueryInterface(
                  IDllObject::Guid, reinterpret_cast<void**>(&object)),
              com::S_OK);
    EXPECT_EQ(object, static_cast<IDllObject*>(&driver));
    object->Release();
}

TEST(DriverObject, MemberCheckAnswersAboutNames) {
    test::TTestDriver driver;
    auto is = [&](auto question, std::u16string_view name) {
        BStr text(name);
        return (static_cast<IDllMemberCheck&>(driver).*question)(text.Get());
    };
    // Properties: both tables by either name, and the model's parameters by either name.
    EXPECT_TRUE(is(&IDllMemberCheck::IsProperty, u"значение"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsProperty, u"READONLYPROP"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsProperty, u"hookpref"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsProperty, u"Prefix"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsProperty, u"использовать"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsProperty, u"Nothing"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsProperty, u""));
    // Methods of both tables by either name of the pair.
    EXPECT_TRUE(is(&IDllMemberCheck::IsMethod, u"choose"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsMethod, u"Сложить"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsMethod, u"Value"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsMethod, u""));
    // Standard methods are those of table B only.
    EXPECT_TRUE(is(&IDllMemberCheck::IsStandardMethod, u"ADD"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsStandardMethod, u"бросок"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsStandardMethod, u"Choose"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsStandardMethod, u"SwitchOn"));
    // The switch names, whatever the tables hold.
    EXPECT_TRUE(is(&IDllMemberCheck::IsSwitchOn, u"включить"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsSwitchOn, u"SWITCHON"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsSwitchOn, u"SwitchOff"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsSwitchOff, u"выключить"));
    EXPECT_TRUE(is(&IDllMemberCheck::IsSwitchOff, u"switchoff"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsSwitchOff, u"Выключить,SwitchOff"));
    EXPECT_FALSE(is(&IDllMemberCheck::IsSwitchOn, u""));
}

TEST(DriverObject, FindReturnsTheFirstRecordInTableOrder) {
    test::TTestDriver driver;
    EXPECT_EQ(driver.FindMethod(u"both"), &test::kTableB[5]);
    EXPECT_EQ(driver.FindProperty(u"both"), &test::kTable1[3]);
    EXPECT_EQ(driver.FindMethod(u"Value"), nullptr);
    EXPECT_EQ(driver.FindProperty(u"Choose"), nullptr);

    // A second table of properties is searched first.
    static const PropertyRecord table2[] = {
        {u"Другое", u"Value", u"", u"", true, u"", u"", test::HandleValue},
        {u"БезВторого", u"", u"", u"", true, u"", u"", test::HandleValue},
    };
    driver.SetPropertyTable2(table2);
    EXPECT_EQ(driver.FindProperty(u"value"), &table2[0]);
    EXPECT_EQ(driver.FindProperty(u"Значение"), &test::kTable1[0]);
    EXPECT_EQ(driver.FindProperty(u"безвторого"), &table2[1]);
    // A missing second name is no name: the empty text names nothing.
    EXPECT_EQ(driver.FindProperty(u""), nullptr);
    BStr empty(u"");
    EXPECT_FALSE(driver.IsProperty(empty.Get()));
}
