#include "infra/codes/coded_exception.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "plugin/control/call_entry.h"
#include "plugin/control/plugin_control.h"
#include "plugin/test_driver.h"
#include "support/language.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::plugin;

namespace {

// A driver object that does not offer IDllObject.
class TDriverWithoutInterface : public test::TTestDriver {
  protected:
    void* GetInterface(com::REFIID iid) override {
        if (iid == IDllObject::Guid) return nullptr;
        return test::TTestDriver::GetInterface(iid);
    }
};

std::u16string Text(const com::VARIANT& v) {
    return rtl::VarToWide(v);
}

} // namespace

TEST(PluginControl, RegistersInTheHolderForItsLifetime) {
    {
        TBaseDllObj* none = nullptr;
        TPluginControl control(&none, &CallEntry);
        EXPECT_EQ(PluginControlHolder(), static_cast<IPluginControl*>(&control));
        EXPECT_EQ(control.ApplicationRef, -1);
        EXPECT_EQ(control.Reserved1(123), com::S_OK);
        EXPECT_EQ(control.Reserved2(-1), com::S_OK);
        CallEntryFunc entry = nullptr;
        EXPECT_EQ(control.GetCallEntry(&entry), com::S_OK);
        EXPECT_EQ(entry, &CallEntry);
    }
    EXPECT_EQ(PluginControlHolder(), nullptr);
}

TEST(PluginControl, SetApplicationRecordsOnlyTheFirstTime) {
    TPluginControl control(nullptr, &CallEntry);
    EXPECT_EQ(control.SetApplication(7), com::S_OK);
    EXPECT_NE(control.ApplicationRef, -1);
    control.ApplicationRef = 99;
    EXPECT_EQ(control.SetApplication(8), com::S_OK);
    EXPECT_EQ(control.ApplicationRef, 99);
}

TEST(PluginControl, GetDllInterfaceReportsEachMissingPiece) {
    // The messages checked here are the Russian ones.
    test::ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    IDllObject* out = reinterpret_cast<IDllObject*>(0x1);
    {
        TPluginControl control(nullptr, &CallEntry);
        EXPECT_EQ(control.GetDllInterface(&out), com::E_UNEXPECTED);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(com::TakeErrorDescription(), u"Обработчик GetDllObject не назначен");
    }
    TBaseDllObj* variable = nullptr;
    TPluginControl control(&variable, &CallEntry);
    EXPECT_EQ(control.GetDllInterface(&out), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"GetDllObject вернул Nil");
    TDriverWithoutInterface lacking;
    variable = &lacking;
    EXPECT_EQ(control.GetDllInterface(&out), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"PluInfo не доступна, Объект DLL не создан.");
    EXPECT_EQ(out, nullptr);
    test::TTestDriver driver;
    variable = &driver;
    EXPECT_EQ(control.GetDllInterface(&out), com::S_OK);
    EXPECT_EQ(out, static_cast<IDllObject*>(&driver));
}

TEST(GuardedCallEntry, TurnsEveryFailureIntoTheBlocksErrorFields) {
    test::ScopedTestDriver installed;
    {
        TParams block;
        block.MethodName = "Call";
        EXPECT_FALSE(GuardedCallEntry(&block, nullptr)); // no arguments at all
        EXPECT_TRUE(block.Error);
        EXPECT_EQ(block.ErrorCode, 20000);
        EXPECT_EQ(Text(block.ErrorSource), u"Call");
        EXPECT_EQ(Text(block.ErrorDescription), u"Недостаточно параметров при вызове метода");
    }
    {
        TParams block;
        block.AllocateStorage();
        block.Add(com::OleVariant());
        block.MethodName = "Call";
        EXPECT_FALSE(GuardedCallEntry(&block, nullptr));
        EXPECT_EQ(Text(block.ErrorSource), u"Call"); // one argument: still the method name
    }
    {
        TParams block;
        EXPECT_FALSE(GuardedCallEntry(&test::CallBlock(block, u"Fail", 1), nullptr));
        EXPECT_EQ(block.ErrorCode, 20000);
        EXPECT_EQ(Text(block.ErrorSource), u"Fail");
        EXPECT_EQ(Text(block.ErrorDescription), u"handler failed");
    }
    {
        TParams block;
        EXPECT_FALSE(GuardedCallEntry(&test::CallBlock(block, u"Missing", 1), nullptr));
        EXPECT_EQ(block.ErrorCode, 20036);
        EXPECT_EQ(Text(block.ErrorSource), u"Missing");
    }
    {
        TParams block;
        EXPECT_FALSE(GuardedCallEntry(&test::CallBlock(block, u"Throw", 1), nullptr));
        EXPECT_EQ(block.ErrorCode, 20000);
    }
    {
        TParams block;
        block.Error = true;
        EXPECT_TRUE(GuardedCallEntry(&test::CallBlock(block, u"Nothing", 1), nullptr));
        EXPECT_FALSE(block.Error); // reset before the call
    }
}

TEST(CallEntry, LetsFailuresEscapeAndNeedsADriverObject) {
    TBaseDllObj* saved = DllObject;
    DllObject = nullptr;
    TParams block;
    try {
        CallEntry(&block, nullptr);
        FAIL();
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20058);
    }
    DllObject = saved;
}
