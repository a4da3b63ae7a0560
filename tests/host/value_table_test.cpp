// The host's own value array, which the plug-in fills (a device's parameters for GetProps): cells
// kept and copied out, bounds enforced so that a plug-in writing past them changes nothing.
#include "host/value_table.h"

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

#include <gtest/gtest.h>

namespace {

using namespace quill;
using com::OleVariant;

TEST(ValueTable, KeepsCellsWithinItsBoundsAndRefusesOthers) {
    auto table = com::ComPtr<ISafeArray>::Adopt(new host::TValueTable);
    std::int32_t rows = -1, columns = -1, empty = 0, type = 0;
    ASSERT_EQ(table->GetBounds(&rows, &columns), com::S_OK);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 0);
    table->Empty(&empty);
    EXPECT_EQ(empty, 1);
    table->ElementType(&type);
    EXPECT_EQ(type, com::VT_VARIANT);

    ASSERT_EQ(table->SetBounds(2, 3), com::S_OK);
    EXPECT_EQ(table->SetValue(1, 2, OleVariant(u"HookPref")), com::S_OK);
    EXPECT_EQ(table->SetValue(0, 0, OleVariant(42)), com::S_OK);
    EXPECT_EQ(table->SetValue(2, 0, OleVariant(u"past the last row")), com::DISP_E_BADINDEX);
    EXPECT_EQ(table->SetValue(0, 3, OleVariant(u"past the last column")), com::DISP_E_BADINDEX);
    EXPECT_EQ(table->SetValue(-1, 0, OleVariant(1)), com::DISP_E_BADINDEX);

    OleVariant cell;
    ASSERT_EQ(table->GetValue(1, 2, &cell), com::S_OK);
    ASSERT_EQ(cell.vt, com::VT_BSTR);
    EXPECT_EQ(com::TextFromBStr(cell.bstrVal), u"HookPref");
    OleVariant number;
    ASSERT_EQ(table->GetValue(0, 0, &number), com::S_OK);
    ASSERT_EQ(number.vt, com::VT_I4);
    EXPECT_EQ(number.lVal, 42);
    OleVariant untouched;
    ASSERT_EQ(table->GetValue(1, 1, &untouched), com::S_OK);
    EXPECT_EQ(untouched.vt, com::VT_EMPTY);
    OleVariant outside;
    EXPECT_EQ(table->GetValue(0, 3, &outside), com::DISP_E_BADINDEX);
    EXPECT_EQ(table->GetValue(0, 0, nullptr), com::E_POINTER);

    // New bounds empty the table; negative ones are refused and keep it.
    ASSERT_EQ(table->SetBounds(1, 1), com::S_OK);
    OleVariant cleared;
    table->GetValue(0, 0, &cleared);
    EXPECT_EQ(cleared.vt, com::VT_EMPTY);
    EXPECT_EQ(table->SetBounds(-1, 4), com::E_INVALIDARG);
    table->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(columns, 1);
}

TEST(ValueTable, IsReachedAsTheValueArrayAndAsADispatchObject) {
    auto table = com::ComPtr<ISafeArray>::Adopt(new host::TValueTable);
    auto dispatch = com::ComPtr<com::IDispatch>::QueryFrom(table.Get());
    ASSERT_TRUE(dispatch);
    EXPECT_TRUE(com::ComPtr<ISafeArray>::QueryFrom(dispatch.Get()));
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(table->QueryInterface(IEventSupport::Guid, &other), com::E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

} // namespace
