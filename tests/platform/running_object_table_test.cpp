#include "platform/com/running_object_table.h"

#include <gtest/gtest.h>

namespace quill::com {
namespace {

class TCounted : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    ULONG Refs = 0;
};

constexpr GUID ClassA = MakeGuid("11111111-2222-3333-4444-555555555555");

TEST(RunningObjectTable, StrongHoldsWeakDoesNotAndRevokeLetsGo) {
    TCounted strong, weak;
    DWORD first = 0, second = 0;
    ASSERT_EQ(RegisterActiveObject(&strong, ClassA, ACTIVEOBJECT_STRONG, &first), S_OK);
    ASSERT_EQ(RegisterActiveObject(&weak, ClassA, ACTIVEOBJECT_WEAK, &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(strong.Refs, 1u);
    EXPECT_EQ(weak.Refs, 0u);
    IUnknown* found = nullptr;
    ASSERT_EQ(GetActiveObject(ClassA, nullptr, &found), S_OK);
    EXPECT_EQ(found, &strong); // the earliest registration
    found->Release();
    EXPECT_EQ(RevokeActiveObject(first, nullptr), S_OK);
    EXPECT_EQ(strong.Refs, 0u);
    EXPECT_EQ(RevokeActiveObject(first, nullptr), E_INVALIDARG);
    ASSERT_EQ(GetActiveObject(ClassA, nullptr, &found), S_OK);
    EXPECT_EQ(found, &weak);
    found->Release();
    RevokeActiveObject(second, nullptr);
    EXPECT_EQ(GetActiveObject(ClassA, nullptr, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(RegisterActiveObject(nullptr, ClassA, 0, &first), E_INVALIDARG);
}

} // namespace
} // namespace quill::com
