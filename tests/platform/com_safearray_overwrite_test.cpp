// Arrays created for overwriting: the same descriptor as SafeArrayCreate, and elements that own
// something still start out empty, so that destroying a partly filled array is safe.
#include "platform/com/com_safearray.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace quill::com;

namespace {

TEST(SafeArrayForOverwrite, DescriptorMatchesTheZeroedCreation) {
    const SAFEARRAYBOUND bounds[3] = {{4, -2}, {3, 5}, {2, 0}};
    for (VARTYPE vt : {VT_R8, VT_UI1, VT_BOOL, VT_CY, VT_BSTR, VT_VARIANT, VT_DISPATCH}) {
        SAFEARRAY* zeroed = SafeArrayCreate(vt, 3, bounds);
        SAFEARRAY* fresh = SafeArrayCreateForOverwrite(vt, 3, bounds);
        ASSERT_NE(zeroed, nullptr);
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(fresh->cDims, zeroed->cDims);
        EXPECT_EQ(fresh->fFeatures, zeroed->fFeatures);
        EXPECT_EQ(fresh->cbElements, zeroed->cbElements);
        EXPECT_EQ(std::memcmp(fresh->rgsabound, zeroed->rgsabound, 3 * sizeof(SAFEARRAYBOUND)), 0);
        VARTYPE type = VT_EMPTY;
        ASSERT_EQ(SafeArrayGetVartype(fresh, &type), S_OK);
        EXPECT_EQ(type, vt);
        ASSERT_NE(fresh->pvData, nullptr);
        // Every element is writable, as a decoder would fill them.
        std::memset(fresh->pvData, 0, 24 * fresh->cbElements);
        EXPECT_EQ(SafeArrayDestroy(fresh), S_OK);
        EXPECT_EQ(SafeArrayDestroy(zeroed), S_OK);
    }
}

TEST(SafeArrayForOverwrite, OwningElementsStartEmpty) {
    const SAFEARRAYBOUND bounds[2] = {{50, 0}, {20, 0}};
    for (VARTYPE vt : {VT_BSTR, VT_VARIANT, VT_DISPATCH, VT_UNKNOWN}) {
        SAFEARRAY* array = SafeArrayCreateForOverwrite(vt, 2, bounds);
        ASSERT_NE(array, nullptr);
        const auto* bytes = static_cast<const unsigned char*>(array->pvData);
        std::size_t nonZero = 0;
        for (std::size_t i = 0; i < 1000 * array->cbElements; ++i)
            nonZero += bytes[i] != 0;
        EXPECT_EQ(nonZero, 0u) << vt;
        // One element written, the rest left as created: destruction frees only what is there.
        if (vt == VT_VARIANT) {
            const LONG at[2] = {3, 7};
            OleVariant text(u"kept");
            ASSERT_EQ(SafeArrayPutElement(array, at, &text), S_OK);
        }
        EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    }
}

TEST(SafeArrayForOverwrite, RefusesWhatTheZeroedCreationRefuses) {
    const SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreateForOverwrite(VT_R8, 2, huge), nullptr);
    const SAFEARRAYBOUND one{1, 0};
    EXPECT_EQ(SafeArrayCreateForOverwrite(VT_DECIMAL, 1, &one), nullptr);
    EXPECT_EQ(SafeArrayCreateForOverwrite(VT_R8, 0, &one), nullptr);
    EXPECT_EQ(SafeArrayCreateForOverwrite(VT_R8, 1, nullptr), nullptr);
}

TEST(SafeArrayForOverwrite, NoElementsMeansNoDataBlock) {
    // As for the zeroed creation.
    const SAFEARRAYBOUND none[2] = {{0, 0}, {5, 1}};
    SAFEARRAY* empty = SafeArrayCreateForOverwrite(VT_R8, 2, none);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->pvData, nullptr);
    EXPECT_EQ(SafeArrayElementCount(empty), 0u);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
}

} // namespace
