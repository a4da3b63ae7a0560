#include "exchange/module/module_utils.h"
#include "quill/params.h"
#include "infra/codes/coded_exception.h"
#include "platform/com/com_safearray.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::com;
using exchange::TParams;

namespace {

std::u16string Text(const VARIANT& v) {
    return rtl::VarToWide(v);
}

// The caller's argument vector of a late-bound call: arguments stored last-first.
struct CallerArguments {
    OleVariant values[3];
    DISPPARAMS descriptor{values, nullptr, 3, 0};
};

std::string IndexMessage(const char* operation, int index, int count) {
    return kernel::WideToAnsi(u"Неверный индекс (") + operation +
           ") Index=" + std::to_string(index) + " Count=" + std::to_string(count);
}

template <class Body> void ExpectCoded(Body body, const std::string& message) {
    try {
        body();
        ADD_FAILURE() << "nothing raised";
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20000);
        EXPECT_EQ(e.Message(), message);
    }
}

} // namespace

TEST(TParams, ViewReadsTheCallersVectorFirstFirst) {
    CallerArguments caller;
    caller.values[0] = OleVariant(u"C");
    caller.values[1] = OleVariant(u"B");
    caller.values[2] = OleVariant(u"A");
    TParams view;
    view.Attach(&caller.descriptor);
    EXPECT_EQ(view.Count(), 3u);
    EXPECT_EQ(Text(view.Get(0)), u"A");
    EXPECT_EQ(Text(view.Get(2)), u"C");
    ExpectCoded([&] { view.Get(-1); }, IndexMessage("Get", -1, 3));
    ExpectCoded([&] { view.Get(3); }, IndexMessage("Get", 3, 3));
    ExpectCoded([&] { view.Set(3, OleVariant(1)); }, IndexMessage("Set", 3, 3));
}

TEST(TParams, WriteBackGoesThroughTheCallersReferencesOnly) {
    LONG integer = 1;
    double real = 0;
    BSTR text = SysAllocString(u"old");
    VARIANT_BOOL flag = 0;
    OleVariant inner(u"inner");
    VARIANT args[5];
    for (auto& a : args)
        VariantInit(&a);
    // Stored last-first: args[4] is argument 0.
    args[4].vt = VT_I4;
    args[4].lVal = 9; // by value
    args[3].vt = VT_BYREF | VT_I4;
    args[3].plVal = &integer;
    args[2].vt = VT_BYREF | VT_R8;
    args[2].pdblVal = &real;
    args[1].vt = VT_BYREF | VT_BSTR;
    args[1].pbstrVal = &text;
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &flag;
    DISPPARAMS descriptor{args, nullptr, 5, 0};
    TParams view;
    view.Attach(&descriptor);

    view.Set(0, OleVariant(5));
    EXPECT_EQ(args[4].lVal, 9); // a by-value argument is left alone, without error
    view.Set(1, OleVariant(5));
    EXPECT_EQ(integer, 5);
    view.Set(2, OleVariant(u"2.5"));
    EXPECT_DOUBLE_EQ(real, 2.5);
    view.Set(3, OleVariant(42));
    EXPECT_EQ(TextFromBStr(text), u"42");
    ExpectCoded([&] { view.Set(4, OleVariant(true)); },
                kernel::WideToAnsi(u"Неподдерживаемый тип параметра."));
    EXPECT_EQ(flag, 0);
    SysFreeString(text);

    // A by-reference argument whose reference is nil is refused like an unsupported type, never
    // written through.
    VARIANT dangling;
    VariantInit(&dangling);
    dangling.vt = VT_BYREF | VT_I4;
    dangling.plVal = nullptr;
    DISPPARAMS single{&dangling, nullptr, 1, 0};
    TParams other;
    other.Attach(&single);
    ExpectCoded([&] { other.Set(0, OleVariant(5)); },
                kernel::WideToAnsi(u"Неподдерживаемый тип параметра."));
}

TEST(TParams, OwnStorageHoldsExactlyFiftyValues) {
    TParams block;
    EXPECT_EQ(block.Count(), 0u);
    EXPECT_THROW(block.Get(0), infra::ECodedException);
    block.AllocateStorage();
    for (int i = 0; i < 50; ++i)
        block.Add(OleVariant(i));
    try {
        block.Add(OleVariant(50));
        FAIL();
    } catch (const infra::ECodedException&) {
        FAIL() << "the capacity error is a plain exception";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(),
                  kernel::WideToAnsi(u"TParams - превышена емкость хранилища данных."));
    }
    EXPECT_EQ(block.Count(), 50u);
    EXPECT_EQ(block.Get(49).lVal, 49);
    block.Set(0, OleVariant(u"replaced"));
    EXPECT_EQ(Text(block.Get(0)), u"replaced");
}

TEST(TParams, ClearResetsErrorsArgumentsAndTheChain) {
    TParams block;
    block.AllocateStorage();
    block.Add(OleVariant(u"x"));
    block.SetErrorCode(20036);
    block.Next = new TParams;
    block.Next->Next = new TParams;
    OleVariant result;
    block.Result = &result;
    block.Clear();
    EXPECT_EQ(block.Count(), 0u);
    EXPECT_FALSE(block.Error);
    EXPECT_EQ(block.ErrorCode, 0);
    EXPECT_EQ(block.Result, nullptr);
    EXPECT_EQ(block.Next, nullptr);
    EXPECT_EQ(Text(block.ErrorDescription), u"Очищено Clear");
    EXPECT_EQ(Text(block.ErrorSource), u"");
}

TEST(TParams, ErrorFromExceptionRecordsCodeSourceAndMessage) {
    TParams block;
    block.MethodName = "Call";
    block.SetErrorFromException(rtl::Exception("plain"));
    EXPECT_TRUE(block.Error);
    EXPECT_EQ(block.ErrorCode, 20000);
    EXPECT_EQ(Text(block.ErrorSource), u"Call");
    EXPECT_EQ(Text(block.ErrorDescription), u"plain");

    block.AllocateStorage();
    block.Add(OleVariant());
    block.Add(OleVariant(u"SwitchOn"));
    block.SetErrorFromException(infra::ECodedException(20036, "coded"));
    EXPECT_EQ(block.ErrorCode, 20036);
    EXPECT_EQ(Text(block.ErrorSource), u"SwitchOn");
    // A coded failure with code 0 clears the flag again.
    block.SetErrorFromException(infra::ECodedException(0, "none"));
    EXPECT_FALSE(block.Error);
    EXPECT_EQ(block.ErrorCode, 0);
}

TEST(TParams, RaiseOperationsThrowCodedErrors) {
    TParams block;
    try {
        block.RaiseErrorText("message");
        FAIL() << "RaiseErrorText returned without raising";
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20000);
        EXPECT_EQ(e.Message(), "message");
    }
    EXPECT_THROW(block.RaiseError(1002, {"x"}), infra::ECodedException);
}

TEST(ModuleUtils, TextAndByteArrayRoundTrip) {
    const OleVariant bytes = exchange::TextToByteArray("abc");
    ASSERT_EQ(bytes.vt, VT_ARRAY | VT_UI1);
    LONG hi = 0;
    SafeArrayGetUBound(bytes.parray, 1, &hi);
    EXPECT_EQ(hi, 3); // n + 1 elements, bounds 0..n
    EXPECT_EQ(exchange::ByteArrayToText(bytes), "abc");
    EXPECT_EQ(exchange::TextToByteArray("").vt, VT_EMPTY);
    EXPECT_EQ(exchange::ByteArrayToText(OleVariant(3)), "");
}
