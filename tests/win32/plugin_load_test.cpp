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

#include <cstdint>
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

// Calls `function` with two 32-bit arguments as a stdcall caller does and returns how many bytes
// of them the callee left on the stack: 0 when it removed them itself (stdcall), 8 when it left
// them to the caller (cdecl). A mismatch goes unnoticed in most calls and corrupts the caller's
// stack in the rest, so it is measured here rather than waited for.
std::uint32_t BytesLeftOnStack(const void* function, std::uint32_t first, std::uint32_t second) {
    std::uint32_t left;
    // The second argument is pushed first, before the stack pointer moves, so it may be any
    // operand; the others are in registers that both conventions preserve across the call.
    asm volatile("movl %%esp, %%esi\n\t"
                 "pushl %3\n\t"
                 "pushl %2\n\t"
                 "call *%1\n\t"
                 "movl %%esi, %%eax\n\t"
                 "subl %%esp, %%eax\n\t"
                 "movl %%esi, %%esp"
                 : "=a"(left)
                 : "b"(function), "D"(first), "g"(second)
                 : "ecx", "edx", "esi", "memory", "cc");
    return left;
}

// The slot `index` of the method table of interface `object`.
const void* Method(const void* object, int index) {
    return (*reinterpret_cast<const void* const* const*>(object))[index];
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

TEST_F(LoadedLibrary, EntryPointsAndInterfaceMethodsRemoveTheirOwnArguments) {
    // PluginControl(&control), with a second word the callee must not touch.
    IPluginControl* control = nullptr;
    EXPECT_EQ(BytesLeftOnStack(reinterpret_cast<const void*>(FPluginControl),
                               reinterpret_cast<std::uintptr_t>(&control), 0),
              4u);
    ASSERT_NE(control, nullptr);
    // GuardedCallEntry(block, context).
    exchange::TParams block;
    test::CallBlock(block, u"DevicesQuantity", 2);
    const CallEntryFunc guarded = GuardedCallEntryFromQuery(FQuery);
    EXPECT_EQ(BytesLeftOnStack(reinterpret_cast<const void*>(guarded),
                               reinterpret_cast<std::uintptr_t>(&block), 0),
              0u);
    EXPECT_FALSE(block.Error);
    // IPluginControl::Reserved1(this, 5), the fourth slot.
    EXPECT_EQ(BytesLeftOnStack(Method(control, 3), reinterpret_cast<std::uintptr_t>(control), 5),
              0u);
    control->Release();
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

namespace quill {
namespace {

// FreeLibrary must really unload the library, so that its unload steps run then (the driver object
// freed, the log closed) and a host may load it again; nothing inside may pin it to the process.
TEST(LibraryUnload, FreeLibraryUnloadsTheLibraryAfterItsWindowsWereUsed) {
    for (int round = 0; round < 2; ++round) {
        HMODULE module = ::LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(module, nullptr) << ::GetLastError();
        auto control = reinterpret_cast<PluginControlFunc>(::GetProcAddress(module, "PluginControl"));
        IPluginControl* plugin = nullptr;
        control(&plugin);
        ASSERT_NE(plugin, nullptr);
        plugin->Release();
        ASSERT_TRUE(::FreeLibrary(module));
        EXPECT_EQ(::GetModuleHandleA(LibraryPath().c_str()), nullptr) << "round " << round;
    }
}

} // namespace
} // namespace quill
