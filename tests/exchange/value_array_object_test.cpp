// The value array through ISafeArray and through its late-bound names.
#include "exchange/valuearray/value_array_class.h"
#include "exchange/valuearray/value_array_object.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_invoke.h"
#include "platform/com/errorinfo.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;

namespace {

struct Answer {
    HRESULT hr;
    OleVariant value;
    std::u16string description;
};

Answer Call(IDispatch* object, std::u16string_view name, std::vector<VARIANT> args = {},
            WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    Answer a{};
    EXCEPINFO info{};
    a.hr = DispatchInvoke(object, name, flags, args.data(), static_cast<UINT>(args.size()),
                          &a.value, &info);
    a.description = TextFromBStr(info.bstrDescription);
    ClearExcepInfo(&info);
    return a;
}

VARIANT Int(int v) {
    VARIANT x{};
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

std::pair<std::int32_t, std::int32_t> Bounds(ISafeArray* table) {
    std::int32_t rows = -1, columns = -1;
    EXPECT_EQ(table->GetBounds(&rows, &columns), S_OK);
    return {rows, columns};
}

} // namespace

TEST(ValueArray, ANewTableIsEmpty) {
    ComPtr<ISafeArray> table = CreateValueArray();
    std::int32_t empty = 0;
    EXPECT_EQ(table->Empty(&empty), S_OK);
    EXPECT_EQ(empty, 1);
    EXPECT_EQ(Bounds(table.Get()), std::make_pair(0, 0));
    OleVariant cell;
    EXPECT_TRUE(FAILED(table->GetValue(0, 0, &cell)));
    EXPECT_EQ(TakeErrorDescription(), u"Номер элемента массива за пределами границ.");
    std::int32_t type = 0;
    table->ElementType(&type);
    EXPECT_EQ(type, VT_VARIANT);
}

TEST(ValueArray, SetBoundsKeepsTheCellsThatRemain) {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(2, 3);
    ASSERT_EQ(table->SetValue(1, 2, OleVariant(u"a")), S_OK);
    table->SetBounds(3, 3);
    OleVariant cell;
    ASSERT_EQ(table->GetValue(1, 2, &cell), S_OK);
    EXPECT_EQ(rtl::VarToWide(cell), u"a");
    table->SetBounds(1, 1);
    table->SetBounds(3, 3);
    OleVariant after;
    ASSERT_EQ(table->GetValue(1, 2, &after), S_OK);
    EXPECT_EQ(after.vt, VT_EMPTY);

    table->SetBounds(0, 5);
    EXPECT_EQ(Bounds(table.Get()), std::make_pair(0, 5));
    std::int32_t empty = 0;
    table->Empty(&empty);
    EXPECT_EQ(empty, 1);
    table->SetBounds(-1, 4); // ignored
    EXPECT_EQ(Bounds(table.Get()), std::make_pair(0, 5));
}

TEST(ValueArray, WritesOutsideTheCountsAndUnsupportedReferencesFail) {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(2, 2);
    EXPECT_TRUE(FAILED(table->SetValue(2, 0, OleVariant(u"v"))));
    EXPECT_EQ(TakeErrorDescription(),
              u"Номер элемента массива за пределами границ. X:2 Y:0 CountX:2 CountY:2\r\nv");

    LONG number = 5;
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &number;
    ASSERT_EQ(table->SetValue(0, 0, byRef), S_OK);
    number = 6;
    OleVariant cell;
    table->GetValue(0, 0, &cell);
    EXPECT_EQ(cell.vt, VT_I4);
    EXPECT_EQ(cell.lVal, 5);

    VARIANT_BOOL flag = VARIANT_TRUE;
    VARIANT byRefBool{};
    byRefBool.vt = VT_BYREF | VT_BOOL;
    byRefBool.pboolVal = &flag;
    EXPECT_TRUE(FAILED(table->SetValue(0, 1, byRefBool)));
    EXPECT_EQ(TakeErrorDescription(), u"Ошибка типа параметра. 11");
}

TEST(ValueArray, LateBoundNamesReachTheTable) {
    ComPtr<ISafeArray> table = CreateValueArray();
    IDispatch* object = table.Get();
    EXPECT_EQ(Call(object, u"setbounds", {Int(2), Int(3)}).hr, S_OK);
    LONG rows = 0, columns = 0;
    VARIANT r{}, c{};
    r.vt = c.vt = VT_BYREF | VT_I4;
    r.plVal = &rows;
    c.plVal = &columns;
    EXPECT_EQ(Call(object, u"GetBounds", {r, c}).hr, S_OK);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 3);

    EXPECT_EQ(Call(object, u"SetRowValues", {Int(1), Int(7), OleVariant(u"x"), Int(9)}).hr, S_OK);
    EXPECT_EQ(rtl::VarToWide(Call(object, u"GetValue", {Int(1), Int(1)}).value), u"x");
    EXPECT_EQ(rtl::VarToInt(Call(object, u"GetValue", {Int(1), Int(2)}).value), 9);
    EXPECT_EQ(Call(object, u"SetValue", {Int(0), Int(0), OleVariant(3.5)}).hr, S_OK);
    EXPECT_EQ(rtl::VarToDouble(Call(object, u"GetValue", {Int(0), Int(0)}).value), 3.5);
    EXPECT_EQ(rtl::VarToInt(Call(object, u"RowCount", {}, DISPATCH_PROPERTYGET).value), 2);
    EXPECT_EQ(rtl::VarToInt(Call(object, u"Empty").value), 0);

    Answer a = Call(object, u"GetValue", {Int(5), Int(0)});
    EXPECT_EQ(a.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(a.description, u"Номер элемента массива за пределами границ.");
    EXPECT_EQ(Call(object, u"SetValue", {Int(0), Int(0)}).description,
              u"Неверное число параметров для [SETVALUE]");
    EXPECT_EQ(Call(object, u"ColCount", {Int(1)}, DISPATCH_PROPERTYPUT).description,
              u"Свойство недоступно для записи [COLCOUNT]");
    EXPECT_EQ(Call(object, u"NoSuchName").hr, E_NOTIMPL);

    // "__PSA" hands out the table's own array as a full-width integer.
    SAFEARRAY* psa = nullptr;
    table->GetPSA(&psa);
    a = Call(object, u"__PSA");
    EXPECT_EQ(a.value.vt, sizeof(void*) == 8 ? VT_I8 : VT_I4);
    EXPECT_EQ(rtl::VarAsType(a.value, VT_I8).llVal, reinterpret_cast<std::intptr_t>(psa));
}

TEST(ValueArray, AdoptedArraysMustBeTwoDimensionalAndKeepTheirElementType) {
    ComPtr<ISafeArray> table = CreateValueArray();
    SAFEARRAY* vector = SafeArrayCreateVector(VT_I4, 0, 3);
    EXPECT_TRUE(FAILED(table->SetPSA(vector)));
    SafeArrayDestroy(vector); // refused, so still ours
    EXPECT_EQ(table->SetPSA(nullptr), S_OK);

    const SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
    SAFEARRAY* ints = SafeArrayCreate(VT_I4, 2, bounds);
    static_cast<LONG*>(ints->pvData)[1] = 77; // cell (1, 0)
    VARIANT address{};
    address.vt = VT_I8;
    address.llVal = reinterpret_cast<std::intptr_t>(ints);
    EXPECT_EQ(Call(table.Get(), u"__SetPSA", {address}).hr, S_OK);
    EXPECT_EQ(Bounds(table.Get()), std::make_pair(2, 3));
    std::int32_t type = 0;
    table->ElementType(&type);
    EXPECT_EQ(type, VT_I4);
    OleVariant cell;
    ASSERT_EQ(table->GetValue(1, 0, &cell), S_OK);
    EXPECT_EQ(cell.vt, VT_I4);
    EXPECT_EQ(cell.lVal, 77);
    ASSERT_EQ(table->SetValue(0, 2, OleVariant(u"12")), S_OK);
    table->GetValue(0, 2, &cell);
    EXPECT_EQ(cell.lVal, 12);
    EXPECT_TRUE(FAILED(table->SetValue(0, 2, OleVariant(u"abc"))));
}

TEST(ValueArray, IsCreatedThroughTheClassRegistryAndRecognised) {
    ComPtr<ISafeArray> table = CreateValueArray();
    CLSID found{};
    ASSERT_EQ(CLSIDFromProgID(u"AddIn.SafeArray", &found), S_OK);
    EXPECT_EQ(found, ValueArrayClassGuid);
    TClassRegistration info;
    ASSERT_TRUE(GetClassRegistration(ValueArrayClassGuid, &info));
    EXPECT_EQ(info.Instancing, TClassInstancing::MultiInstance);
    EXPECT_EQ(info.ThreadingModel, TThreadingModel::Free);

    EXPECT_TRUE(IsValueArray(OleVariant(static_cast<IDispatch*>(table.Get()))));
    EXPECT_FALSE(IsValueArray(OleVariant(1)));
    auto plain = CreateComObject<TAutoObject>();
    EXPECT_FALSE(IsValueArray(OleVariant(static_cast<IDispatch*>(plain.Get()))));

    RevokeValueArrayClass();
    EXPECT_FALSE(GetClassRegistration(ValueArrayClassGuid, nullptr));
    EXPECT_TRUE(CreateValueArray()); // registers again
    EXPECT_NE(CreateValueArray().Get(), table.Get());
}
