// Late-bound calls on TBaseAutoObject in both modes, through the caller's side of IDispatch.
#include "exchange/autoobject/base_auto_object.h"
#include "platform/com/dispatch_invoke.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quill;
using namespace quill::com;
using quill::exchange::TAutoArgs;
using quill::exchange::TBaseAutoObject;

namespace {

// A test object: members "Pair" (2 args, returns arg0 - arg1), "Any" (any count, returns the
// count), "Bump" (writes arg0 + 1 back into arg0), "Fail" (throws EInvalidOp), "Ro" (read-only),
// "Wo" (write-only).
class TTestObject : public TBaseAutoObject {
public:
    explicit TTestObject(bool nameTable, int extra = 0) : FNameTable(nameTable), FExtra(extra) {}
    std::string_view ClassName() const override { return "TTestObject"; }
    bool UseNameTable() const override { return FNameTable; }
    void RegisterNames() override {
        AddMethod("Pair", 2, [](TAutoArgs& a, OleVariant& r) {
            r = OleVariant(rtl::VarToInt(GetArg(a, 0)) - rtl::VarToInt(GetArg(a, 1)));
        });
        AddMethod("Any", 0, [](TAutoArgs& a, OleVariant& r) { r = OleVariant(static_cast<int>(ArgCount(a))); });
        AddMethod("Bump", 1, [](TAutoArgs& a, OleVariant&) {
            SetArg(a, 0, OleVariant(rtl::VarToInt(GetArg(a, 0)) + 1));
        });
        AddMethod("Fail", 0, [](TAutoArgs&, OleVariant&) { throw rtl::EInvalidOp("broken"); });
        AddMethod("Peek", 2, [](TAutoArgs& a, OleVariant& r) { r = GetArg(a, 5); });
        AddProperty("Ro", [](TAutoArgs&, OleVariant& r) { r = OleVariant(7); }, nullptr);
        AddProperty("Wo", nullptr, [this](TAutoArgs&, const VARIANT& v) { Written = rtl::VarToInt(v); });
        for (int i = 0; i < FExtra; ++i) {
            std::string name = "M";
            name += std::to_string(i);
            AddMethod(name, 0, nullptr);
        }
    }
    int Written = 0;

private:
    bool FNameTable;
    int FExtra;
};

struct CallResult {
    HRESULT hr;
    OleVariant value;
    std::u16string description;
    std::u16string source;
    SCODE code;
};

CallResult Call(IDispatch* object, std::u16string_view name, WORD flags, std::vector<VARIANT> args = {}) {
    CallResult r{};
    EXCEPINFO info{};
    r.hr = DispatchInvoke(object, name, flags, args.data(), static_cast<UINT>(args.size()), &r.value, &info);
    r.description = TextFromBStr(info.bstrDescription);
    r.source = TextFromBStr(info.bstrSource);
    r.code = ExcepInfoCode(info);
    ClearExcepInfo(&info);
    return r;
}

VARIANT Int(int v) {
    VARIANT x{};
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

class AutoObjectModes : public testing::TestWithParam<bool> {};

} // namespace

TEST(AutoObject, NameTableLooksNamesUpIgnoringCaseAndRefusesUnknownOnes) {
    auto object = CreateComObject<TTestObject>(true);
    std::u16string lower = u"pair", missing = u"Nothing";
    OLECHAR* names[] = {lower.data()};
    DISPID id = -1;
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0);
    names[0] = missing.data();
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), E_NOTIMPL);
    EXPECT_EQ(object->Entry(0).Name, "PAIR");
}

TEST(AutoObject, ListModeHandsOutAnIdentifierForEveryName) {
    auto object = CreateComObject<TTestObject>(false);
    std::u16string a = u"Whatever", b = u"WHATEVER", c = u"Other";
    OLECHAR* names[] = {a.data()};
    DISPID first = -1, again = -1, other = -1;
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &first), S_OK);
    names[0] = b.data();
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &again), S_OK);
    names[0] = c.data();
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &other), S_OK);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
}

TEST_P(AutoObjectModes, ArgumentsArriveInNaturalOrder) {
    auto object = CreateComObject<TTestObject>(GetParam());
    CallResult r = Call(object.Get(), u"Pair", DISPATCH_METHOD, {Int(10), Int(3)});
    ASSERT_EQ(r.hr, S_OK) << kernel::WideToUtf8(r.description);
    EXPECT_EQ(rtl::VarToInt(r.value), 7);
    EXPECT_EQ(rtl::VarToInt(Call(object.Get(), u"Any", DISPATCH_METHOD, {Int(1), Int(2), Int(3)}).value), 3);
    EXPECT_EQ(rtl::VarToInt(Call(object.Get(), u"Any", DISPATCH_METHOD | DISPATCH_PROPERTYGET).value), 0);
}

TEST_P(AutoObjectModes, CountAndAccessFailuresNameTheUpperCaseMember) {
    auto object = CreateComObject<TTestObject>(GetParam());
    CallResult r = Call(object.Get(), u"pair", DISPATCH_METHOD, {Int(1), Int(2), Int(3)});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.description, u"Неверное число параметров для [PAIR]");
    r = Call(object.Get(), u"Pair", DISPATCH_PROPERTYGET, {Int(1), Int(2)});
    EXPECT_EQ(r.description, u"Метод/Свойство [PAIR] не обнаружено. Флаг:2");
    r = Call(object.Get(), u"Ro", DISPATCH_PROPERTYPUT, {Int(1)});
    EXPECT_EQ(r.description, u"Свойство недоступно для записи [RO]");
    r = Call(object.Get(), u"Wo", DISPATCH_PROPERTYGET);
    EXPECT_EQ(r.description, u"Свойство недоступно для чтения [WO]");
    r = Call(object.Get(), u"Ro", DISPATCH_PROPERTYGET);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(rtl::VarToInt(r.value), 7);
    r = Call(object.Get(), u"Wo", DISPATCH_PROPERTYPUT, {Int(42)});
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(object->Written, 42);
}

TEST_P(AutoObjectModes, HandlerExceptionsBecomeExceptionInformation) {
    auto object = CreateComObject<TTestObject>(GetParam());
    CallResult r = Call(object.Get(), u"Fail", DISPATCH_METHOD);
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.code, 1000);
    EXPECT_EQ(r.source, u"EInvalidOp");
    EXPECT_EQ(r.description, u"broken");
    r = Call(object.Get(), u"Peek", DISPATCH_METHOD, {Int(1), Int(2)});
    EXPECT_EQ(r.description, u"Неверный индекс (Get) Index=5 Count=2");
    EXPECT_EQ(r.source, u"ECodedException");
}

TEST_P(AutoObjectModes, ByReferenceArgumentsAreWrittenBack) {
    auto object = CreateComObject<TTestObject>(GetParam());
    LONG number = 41;
    VARIANT byRefInt{};
    byRefInt.vt = VT_BYREF | VT_I4;
    byRefInt.plVal = &number;
    EXPECT_EQ(Call(object.Get(), u"Bump", DISPATCH_METHOD, {byRefInt}).hr, S_OK);
    EXPECT_EQ(number, 42);

    OleVariant inner(5);
    VARIANT byRefVariant{};
    byRefVariant.vt = VT_BYREF | VT_VARIANT;
    byRefVariant.pvarVal = &inner;
    EXPECT_EQ(Call(object.Get(), u"Bump", DISPATCH_METHOD, {byRefVariant}).hr, S_OK);
    EXPECT_EQ(rtl::VarToInt(inner), 6);

    // A by-value argument is left alone without error.
    EXPECT_EQ(Call(object.Get(), u"Bump", DISPATCH_METHOD, {Int(1)}).hr, S_OK);

    VARIANT_BOOL flag = 0;
    VARIANT byRefBool{};
    byRefBool.vt = VT_BYREF | VT_BOOL;
    byRefBool.pboolVal = &flag;
    CallResult r = Call(object.Get(), u"Bump", DISPATCH_METHOD, {byRefBool});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.description, u"Неподдерживаемый тип параметра.");
    EXPECT_EQ(flag, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, AutoObjectModes, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "NameTable" : "List"; });

TEST(AutoObject, ListModeReportsUnknownMembersWithCode20000AndCountFailuresWithCode0) {
    auto object = CreateComObject<TTestObject>(false);
    CallResult r = Call(object.Get(), u"Missing", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.code, 20000);
    EXPECT_EQ(r.source, u"TTestObject");
    EXPECT_EQ(r.description, u"Метод/Свойство [MISSING] не обнаружено. Флаг:3");
    r = Call(object.Get(), u"Pair", DISPATCH_METHOD, {Int(1)});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.source, u"TTestObject");
}

TEST(AutoObject, TheHundredAndFirstRegistrationFailsTheObject) {
    // The test object registers 7 members of its own.
    EXPECT_NO_THROW(CreateComObject<TTestObject>(true, 93));
    try {
        CreateComObject<TTestObject>(true, 94);
        FAIL() << "registration did not fail";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(kernel::AnsiToWide(e.Message()), u"Массив имен заполнен.");
    }
}

TEST(AutoObject, ObjectIdentityAndCounting) {
    auto object = CreateComObject<TTestObject>(true);
    EXPECT_EQ(object->RefCount(), 1u);
    auto dispatch = ComPtr<IDispatch>::QueryFrom(object.Get());
    auto unknown = ComPtr<IUnknown>::QueryFrom(object.Get());
    ASSERT_TRUE(dispatch && unknown);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), unknown.Get());
    EXPECT_EQ(object->RefCount(), 3u);
    UINT count = 9;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}
