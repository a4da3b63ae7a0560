#include "platform/com/com_safearray.h"
#include "platform/com/dispatch.h"
#include "platform/kernel/format_settings.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

using namespace quill::com;
using quill::rtl::VarToWide;

TEST(BStr, LengthPrefixAndEmbeddedZeros) {
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(text, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(TextFromBStr(b), std::u16string(text, 3));
    SysFreeString(b);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(TextFromBStr(nullptr), u"");
}

TEST(Variant, CopyIsDeepAndClearFreesOwnedValues) {
    OleVariant text(u"value");
    OleVariant copy(text);
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(TextFromBStr(copy.bstrVal), u"value");
    text.Clear();
    EXPECT_EQ(text.vt, VT_EMPTY);
    EXPECT_EQ(TextFromBStr(copy.bstrVal), u"value");
}

TEST(Variant, ByReferenceValuesCopyAsReferencesOrDereferenced) {
    LONG target = 7;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &target;
    OleVariant asRef(ref);
    EXPECT_EQ(asRef.vt, VT_BYREF | VT_I4);
    OleVariant value;
    ASSERT_EQ(VariantCopyInd(&value, &ref), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 7);
    asRef.Clear(); // clearing a reference never touches the referenced storage
    EXPECT_EQ(target, 7);
}

TEST(Variant, ChangeTypeConvertsNumbersTextsAndBooleans) {
    quill::kernel::ProcessFormatSettings().DecimalSeparator = '.';
    OleVariant out;
    OleVariant number(u" 42 ");
    ASSERT_EQ(VariantChangeType(&out, &number, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 42);
    OleVariant half(2.5);
    ASSERT_EQ(VariantChangeType(&out, &half, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 2); // ties go to the even neighbour
    OleVariant big(70000);
    EXPECT_EQ(VariantChangeType(&out, &big, 0, VT_I2), DISP_E_OVERFLOW);
    OleVariant word(u"abc");
    EXPECT_EQ(VariantChangeType(&out, &word, 0, VT_R8), DISP_E_TYPEMISMATCH);
    OleVariant yes(true);
    ASSERT_EQ(VariantChangeType(&out, &yes, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"True");
    ASSERT_EQ(VariantChangeType(&out, &yes, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"-1");
    OleVariant real(1.5);
    EXPECT_EQ(VarToWide(real), u"1.5");
    quill::kernel::ProcessFormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(VarToWide(real), u"1,5");
    OleVariant comma(u"2,25");
    EXPECT_DOUBLE_EQ(quill::rtl::VarToDouble(comma), 2.25);
    quill::kernel::ProcessFormatSettings().DecimalSeparator = '.';
    // A failed conversion leaves the destination as it was.
    OleVariant keep(5);
    EXPECT_EQ(VariantChangeType(&keep, &word, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(keep.lVal, 5);
}

TEST(SafeArray, DimensionOneVariesFastestAndBoundsAreChecked) {
    SAFEARRAYBOUND bounds[3] = {{2, 0}, {3, 1}, {2, -1}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 3, bounds);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 3u);
    LONG lo, hi;
    ASSERT_EQ(SafeArrayGetLBound(array, 2, &lo), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(array, 2, &hi), S_OK);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 3);
    EXPECT_EQ(SafeArrayGetUBound(array, 4, &hi), DISP_E_BADINDEX);
    LONG index[3] = {1, 1, -1};
    LONG value = 11;
    ASSERT_EQ(SafeArrayPutElement(array, index, &value), S_OK);
    EXPECT_EQ(static_cast<LONG*>(array->pvData)[1], 11); // next to element (0, 1, -1)
    LONG index2[3] = {0, 2, -1};
    value = 22;
    ASSERT_EQ(SafeArrayPutElement(array, index2, &value), S_OK);
    EXPECT_EQ(static_cast<LONG*>(array->pvData)[2], 22); // one full stride of dimension 1
    LONG outside[3] = {2, 1, -1};
    EXPECT_EQ(SafeArrayPutElement(array, outside, &value), DISP_E_BADINDEX);
    SafeArrayDestroy(array);
}

TEST(SafeArray, VariantElementsAreOwnedAndCopiedDeeply) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(array, nullptr);
    LONG i = 1;
    OleVariant text(u"cell");
    ASSERT_EQ(SafeArrayPutElement(array, &i, &text), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
    SafeArrayDestroy(array);
    VARIANT out;
    ASSERT_EQ(SafeArrayGetElement(copy, &i, &out), S_OK);
    OleVariant owned = OleVariant::Adopt(out);
    EXPECT_EQ(TextFromBStr(owned.bstrVal), u"cell");
    SafeArrayLock(copy);
    EXPECT_EQ(SafeArrayDestroy(copy), DISP_E_ARRAYISLOCKED);
    SafeArrayUnlock(copy);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

namespace {
class TCountedObject : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    ULONG Refs = 0;
};
} // namespace

// Destroying or shrinking a table releases what each cell owns exactly once (objects, texts,
// nested arrays) and nothing that a cell only refers to; the cells a shrink drops become empty.
TEST(SafeArray, ReleasingVariantCellsFreesWhatEachOwnsOnce) {
    TCountedObject object;
    std::int32_t referenced = 7;
    auto fill = [&](SAFEARRAY* array) {
        VARIANT* cells = static_cast<VARIANT*>(array->pvData);
        cells[0].vt = VT_I4;
        cells[0].lVal = 5;
        cells[1].vt = VT_BSTR;
        cells[1].bstrVal = SysAllocString(u"text");
        cells[2].vt = VT_UNKNOWN;
        cells[2].punkVal = &object;
        object.AddRef();
        cells[3].vt = VT_ARRAY | VT_BSTR;
        cells[3].parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
        static_cast<BSTR*>(cells[3].parray->pvData)[0] = SysAllocString(u"inner");
        cells[4].vt = VT_BYREF | VT_I4;
        cells[4].plVal = &referenced;
        cells[5].vt = VT_BYREF | VT_UNKNOWN;
        static IUnknown* borrowed = &object;
        cells[5].ppunkVal = &borrowed;
    };
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 6);
    fill(array);
    EXPECT_EQ(object.Refs, 1u);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK); // ASan reports a text or array left behind
    EXPECT_EQ(object.Refs, 0u);
    EXPECT_EQ(referenced, 7);

    array = SafeArrayCreateVector(VT_VARIANT, 0, 6);
    fill(array);
    SAFEARRAYBOUND one{1, 0};
    ASSERT_EQ(SafeArrayRedim(array, &one), S_OK);
    EXPECT_EQ(object.Refs, 0u);
    EXPECT_EQ(static_cast<VARIANT*>(array->pvData)[0].lVal, 5);
    SAFEARRAYBOUND six{6, 0};
    ASSERT_EQ(SafeArrayRedim(array, &six), S_OK);
    for (int k = 1; k < 6; ++k)
        EXPECT_EQ(static_cast<VARIANT*>(array->pvData)[k].vt, VT_EMPTY) << k;
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, ImpossibleSizesAreRefused) {
    SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr);
    SAFEARRAYBOUND one{1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_DECIMAL, 1, &one), nullptr);
}
