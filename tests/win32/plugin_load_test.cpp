// Loads the built Quill.plu exactly as a Windows host does (LoadLibrary, GetProcAddress) and
// makes calls through its exports, the call entries and the interfaces, all with the host's
// calling conventions. A wrong convention on either side shows as a corrupted stack: a wrong
// result, a crash, or a call that returns into the wrong place.
#include "platform/com/bstr.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "quill/host.h"
#include "support/call_block.h"

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quill {
namespace {

// An export found by name, as the type the host calls it with.
template <class T> T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The build's path of the library (on drive Z:, Wine's view of the build machine's root) with the
// separators a Windows path has.
std::string LibraryPath() {
    std::string path = QUILL_PLU_PATH;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// The names in the module's export directory, read from its loaded image.
std::set<std::string> ExportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (entry.Size == 0) return names;
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameTable = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameTable[i]));
    EXPECT_EQ(directory->NumberOfFunctions, directory->NumberOfNames) << "exports by ordinal only";
    return names;
}

class LoadedLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        FModule = ::LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(FModule, nullptr) << LibraryPath() << ": error " << ::GetLastError();
        FQuery = Export<QueryFunc>(FModule, "Query");
        FPluginControl = Export<PluginControlFunc>(FModule, "PluginControl");
        FBeforeFree = Export<BeforeFreeLibraryFunc>(FModule, "BeforeFreeLibrary");
        ASSERT_TRUE(FQuery && FPluginControl && FBeforeFree);
    }
    void TearDown() override {
        if (FModule) {
            FBeforeFree();
            ::FreeLibrary(FModule);
        }
    }

    HMODULE FModule = nullptr;
    QueryFunc FQuery = nullptr;
    PluginControlFunc FPluginControl = nullptr;
    BeforeFreeLibraryFunc FBeforeFree = nullptr;
};

TEST_F(LoadedLibrary, ExportsExactlyTheThreeEntryPointsUndecorated) {
    EXPECT_EQ(ExportedNames(FModule),
              (std::set<std::string>{"BeforeFreeLibrary", "PluginControl", "Query"}));
    // The stdcall decorations a compiler adds stay out of the export table.
    EXPECT_EQ(::GetProcAddress(FModule, "_Query@0"), nullptr);
    EXPECT_EQ(::GetProcAddress(FModule, "PluginControl@4"), nullptr);
}

TEST_F(LoadedLibrary, QueryLeadsToTheGuardedCallEntry) {
    EXPECT_EQ(FQuery(), FQuery());
    const CallEntryFunc guarded = GuardedCallEntryFromQuery(FQuery);
    // Inside the module's image.
    const auto* base = reinterpret_cast<const unsigned char*>(FModule);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* entry = reinterpret_cast<const unsigned char*>(guarded);
    ASSERT_GT(entry, base);
    ASSERT_LT(entry, base + nt->OptionalHeader.SizeOfImage);

    // A call of an unknown member fails into the block's fields, and nothing escapes.
    exchange::TParams unknown;
    test::CallBlock(unknown, u"НетТакого", 1);
    EXPECT_FALSE(guarded(&unknown, nullptr));
    EXPECT_TRUE(unknown.Error);
    EXPECT_EQ(unknown.ErrorCode, 20036);
    EXPECT_NE(rtl::VarToWide(unknown.ErrorDescription).find(u"НетТакого"), std::u16string::npos);

    // A request that succeeds: the number of devices of a fresh driver.
    exchange::TParams count;
    test::CallBlock(count, u"DevicesQuantity", 2);
    EXPECT_TRUE(guarded(&count, nullptr));
    EXPECT_FALSE(count.Error) << kernel::WideToUtf8(rtl::VarToWide(count.ErrorDescription));
    EXPECT_EQ(rtl::VarToInt(count.Get(0)), 0);
}

TEST_F(LoadedLibrary, PluginControlAndTheDriverObjectAnswerThroughTheirInterfaces) {
    IPluginControl* first = nullptr;
    IPluginControl* second = nullptr;
    FPluginControl(&first);
    FPluginControl(&second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Reserved1(5), S_OK);
    EXPECT_EQ(first->Reserved2(-1), S_OK);
    EXPECT_EQ(first->SetApplication(0), S_OK);

    // The raw entry leads into the same dispatch.
    CallEntryFunc raw = nullptr;
    ASSERT_EQ(first->GetCallEntry(&raw), S_OK);
    ASSERT_NE(raw, nullptr);
    exchange::TParams count;
    test::CallBlock(count, u"DevicesQuantity", 2);
    EXPECT_TRUE(raw(&count, nullptr));
    EXPECT_EQ(rtl::VarToInt(count.Get(0)), 0);

    IDllObject* driver = nullptr;
    ASSERT_EQ(first->GetDllInterface(&driver), S_OK);
    ASSERT_NE(driver, nullptr);
    std::int32_t kind = 0;
    EXPECT_EQ(driver->GetDriverKind(&kind), S_OK);
    EXPECT_EQ(kind, 3);
    // A text the library allocates, which the host frees with the system's allocator.
    com::BSTR path = nullptr;
    ASSERT_EQ(driver->GetLibraryPath(&path), S_OK);
    const std::u16string library = com::TextFromBStr(path);
    ::SysFreeString(reinterpret_cast<::BSTR>(path));
    EXPECT_NE(library.find(u"Quill.plu"), std::u16string::npos) << kernel::WideToUtf8(library);
    // A member check takes the host's text.
    com::BStr name(u"SwitchOn");
    IDllMemberCheck* check = nullptr;
    ASSERT_EQ(driver->GetMemberCheck(&check), S_OK);
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->IsSwitchOn(name.Get()));
    EXPECT_FALSE(check->IsSwitchOff(name.Get()));
    check->Release();

    driver->Release();
    first->Release();
    second->Release();
}

} // namespace
} // namespace quill
