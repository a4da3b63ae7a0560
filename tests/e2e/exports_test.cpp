// Loads the built Quill.plu exactly as a host does and uses its exports.
#include "platform/com/errorinfo.h"
#include "platform/rtl/convert.h"
#include "quill/host.h"
#include "e2e/dynamic_symbols.h"
#include "support/language.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace quill;

namespace {

class LoadedPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUILL_DATA_DIR", "/tmp/quill-e2e-data", 0); // the library's log: a scratch folder
        FHandle = dlopen(QUILL_PLU_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(FHandle, nullptr) << dlerror();
        FQuery = reinterpret_cast<QueryFunc>(dlsym(FHandle, "Query"));
        FPluginControl = reinterpret_cast<PluginControlFunc>(dlsym(FHandle, "PluginControl"));
        FBeforeFree = reinterpret_cast<BeforeFreeLibraryFunc>(dlsym(FHandle, "BeforeFreeLibrary"));
        ASSERT_TRUE(FQuery && FPluginControl && FBeforeFree);
    }
    void TearDown() override {
        if (FHandle) {
            FBeforeFree();
            dlclose(FHandle);
        }
    }

    void* FHandle = nullptr;
    QueryFunc FQuery = nullptr;
    PluginControlFunc FPluginControl = nullptr;
    BeforeFreeLibraryFunc FBeforeFree = nullptr;
};

} // namespace

TEST(PluginExports, DynamicSymbolTableHoldsExactlyTheThreeExports) {
    const auto symbols = test::DynamicSymbols(QUILL_PLU_PATH, false);
    const std::set<std::string> names(symbols.begin(), symbols.end());
    EXPECT_EQ(names, (std::set<std::string>{"BeforeFreeLibrary", "PluginControl", "Query"}));
}

TEST_F(LoadedPlugin, QueryLeadsToTheGuardedCallEntryAndIsStable) {
    EXPECT_EQ(FQuery(), FQuery());
    CallEntryFunc guarded = GuardedCallEntryFromQuery(FQuery);
    ASSERT_NE(guarded, nullptr);
    test::ScopedLanguage russian("ru_RU.UTF-8");
    TParams block;
    block.AllocateStorage();
    block.Add(com::OleVariant());
    block.Add(com::OleVariant(u"НетТакого"));
    block.Add(com::OleVariant(2));
    EXPECT_FALSE(guarded(&block, nullptr));
    EXPECT_TRUE(block.Error);
    EXPECT_EQ(block.ErrorCode, 20036);
    EXPECT_EQ(rtl::VarToWide(block.ErrorDescription), u"Метод/Свойство [НетТакого] не обнаружено");
}

TEST_F(LoadedPlugin, PluginControlHandsOutTheSameObjectAsNewReferences) {
    IPluginControl* first = nullptr;
    IPluginControl* second = nullptr;
    FPluginControl(&first);
    FPluginControl(&second);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Reserved1(5), com::S_OK);
    EXPECT_EQ(first->SetApplication(0), com::S_OK);

    CallEntryFunc raw = nullptr;
    ASSERT_EQ(first->GetCallEntry(&raw), com::S_OK);
    TParams block;
    block.AllocateStorage();
    try {
        raw(&block, nullptr);
        ADD_FAILURE() << "the raw entry lets failures escape";
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20000);
    }

    // The library made its driver object at load.
    IDllObject* driver = nullptr;
    ASSERT_EQ(first->GetDllInterface(&driver), com::S_OK);
    ASSERT_NE(driver, nullptr);
    std::int32_t kind = 0;
    EXPECT_EQ(driver->GetDriverKind(&kind), com::S_OK);
    EXPECT_EQ(kind, 3);
    driver->Release();
    first->Release();
    second->Release();
}
