#include "infra/codes/coded_exception.h"
#include "plugin/control/call_entry.h"
#include "plugin/control/plugin_control.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <functional>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::plugin;

namespace {

// A driver object of the tests: its dispatch fails as the test tells it to.
class TFailingDriver : public TBaseDllObj {
public:
    std::function<bool(TParams*)> OnDispatch;
    bool OffersDllObject = false;
    bool Dispatch(TParams* params, rtl::TObject*) override { return OnDispatch(params); }
    HRESULT QueryInterface(com::REFIID, void** object) override {
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
};

std::u16string Text(const com::VARIANT& v) { return rtl::VarToWide(v); }

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
    const auto first = control.ApplicationRef;
    EXPECT_NE(first, -1);
    control.ApplicationRef = 99;
    EXPECT_EQ(control.SetApplication(8), com::S_OK);
    EXPECT_EQ(control.ApplicationRef, 99);
}

TEST(PluginControl, GetDllInterfaceReportsEachMissingPiece) {
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
    TFailingDriver driver;
    variable = &driver;
    EXPECT_EQ(control.GetDllInterface(&out), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"PluInfo не доступна, Объект DLL не создан.");
    EXPECT_EQ(out, nullptr);
}

TEST(GuardedCallEntry, TurnsEveryFailureIntoTheBlocksErrorFields) {
    TFailingDriver driver;
    TBaseDllObj* saved = DllObject;
    DllObject = &driver;

    TParams block;
    block.MethodName = "Call";
    driver.OnDispatch = [](TParams*) -> bool { throw rtl::Exception("plain failure"); };
    EXPECT_FALSE(GuardedCallEntry(&block, nullptr));
    EXPECT_TRUE(block.Error);
    EXPECT_EQ(block.ErrorCode, 20000);
    EXPECT_EQ(Text(block.ErrorSource), u"Call"); // no arguments: the method name
    EXPECT_EQ(Text(block.ErrorDescription), u"plain failure");

    block.AllocateStorage();
    block.Add(com::OleVariant());
    EXPECT_FALSE(GuardedCallEntry(&block, nullptr));
    EXPECT_EQ(Text(block.ErrorSource), u"Call"); // one argument: still the method name
    block.Add(com::OleVariant(u"Member"));
    driver.OnDispatch = [](TParams*) -> bool { infra::RaiseCodedError(20036, {"Member"}); };
    EXPECT_FALSE(GuardedCallEntry(&block, nullptr));
    EXPECT_EQ(block.ErrorCode, 20036);
    EXPECT_EQ(Text(block.ErrorSource), u"Member");

    driver.OnDispatch = [](TParams*) -> bool { throw 42; };
    EXPECT_FALSE(GuardedCallEntry(&block, nullptr));
    EXPECT_EQ(block.ErrorCode, 20000);

    driver.OnDispatch = [](TParams*) { return true; };
    EXPECT_TRUE(GuardedCallEntry(&block, nullptr));
    EXPECT_FALSE(block.Error); // reset before the call

    DllObject = saved;
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
