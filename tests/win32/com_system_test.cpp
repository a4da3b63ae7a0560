// The COM and automation names of the platform contract on Windows are the system's own: what
// the library allocates, the host's oleaut32 reads and frees, and the reverse. Each test crosses
// that boundary in both directions with the system's functions on the far side.
#include "platform/com/apartment.h"
#include "platform/com/bstr.h"
#include "platform/com/bstr_arena.h"
#include "platform/com/com_safearray.h"
#include "platform/com/errorinfo.h"
#include "platform/com/guid.h"
#include "platform/com/running_object_table.h"
#include "platform/com/variant.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/fault_injection.h"
#include "platform/kernel/format_settings.h"
#include "platform/kernel/number_text.h"

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

namespace quill::com {
namespace {

::BSTR System(BSTR text) {
    return reinterpret_cast<::BSTR>(text);
}
BSTR Ours(::BSTR text) {
    return reinterpret_cast<BSTR>(text);
}
std::u16string SystemText(::BSTR text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

TEST(SystemBStr, TextsCrossToTheSystemAllocatorAndBack) {
    // Ours, read and freed by the system (as the host frees what the library hands out).
    const std::u16string cyrillic = u"Сканер\0№1";
    BSTR ours = SysAllocStringLen(cyrillic.data(), static_cast<UINT>(cyrillic.size()));
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(::SysStringLen(System(ours)), cyrillic.size());
    EXPECT_EQ(SystemText(System(ours)), cyrillic);
    ::SysFreeString(System(ours));

    // The system's, read and freed by ours.
    ::BSTR theirs = ::SysAllocString(L"Штрихкод");
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(TextFromBStr(Ours(theirs)), u"Штрихкод");
    EXPECT_EQ(SysStringByteLen(Ours(theirs)), 16u);
    SysFreeString(Ours(theirs));

    // A nil source gives zeroed characters; odd byte lengths keep their length.
    BSTR blank = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(TextFromBStr(blank), std::u16string(4, u'\0'));
    SysFreeString(blank);
    BSTR odd = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(::SysStringByteLen(System(odd)), 3u);
    EXPECT_EQ(std::memcmp(odd, "abc", 4), 0); // terminated
    SysFreeString(odd);
}

TEST(SystemBStr, ArenaTextsAreTheSystemsOwnAllocations) {
    BSTR first = nullptr, second = nullptr;
    {
        TBStrArena arena;
        first = arena.AllocateByteLen(reinterpret_cast<const char*>(u"один"), 8);
        second = arena.AllocateByteLen(nullptr, 6);
    }
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(SystemText(System(first)), u"один");
    EXPECT_EQ(SystemText(System(second)), std::u16string(3, u'\0'));
    // Freed by the system, one by one, after the arena is gone.
    ::SysFreeString(System(first));
    ::SysFreeString(System(second));
}

TEST(SystemBStr, AnInjectedAllocationFailureRefusesLikeTheSystem) {
    kernel::ArmFault(kernel::TFaultKind::Allocation, 1, ENOMEM);
    EXPECT_EQ(SysAllocString(u"x"), nullptr);
    kernel::DisarmFaults();
    BSTR text = SysAllocString(u"x");
    EXPECT_NE(text, nullptr);
    SysFreeString(text);
}

TEST(SystemVariant, ValuesCopiedAndClearedByEitherSide) {
    OleVariant text(u"Значение");
    ::VARIANT copy;
    ::VariantInit(&copy);
    ASSERT_EQ(::VariantCopy(&copy, reinterpret_cast<::VARIANT*>(&text)), S_OK);
    ASSERT_EQ(copy.vt, ::VT_BSTR);
    EXPECT_NE(reinterpret_cast<void*>(copy.bstrVal), reinterpret_cast<void*>(text.bstrVal));
    EXPECT_EQ(SystemText(copy.bstrVal), u"Значение");
    // What the system copied, ours clears (and frees with the system's allocator).
    EXPECT_EQ(VariantClear(reinterpret_cast<VARIANT*>(&copy)), S_OK);
    EXPECT_EQ(copy.vt, ::VT_EMPTY);

    OleVariant back(*reinterpret_cast<VARIANT*>(&copy));
    EXPECT_TRUE(back.IsEmpty());
}

TEST(SystemVariant, ConversionsAreTheSystems) {
    OleVariant out;
    OleVariant number(42);
    ASSERT_EQ(VariantChangeType(&out, &number, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"42");
    OleVariant half(2.5);
    ASSERT_EQ(VariantChangeType(&out, &half, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 2); // ties go to the even neighbour
    OleVariant big(100000);
    EXPECT_EQ(VariantChangeType(&out, &big, 0, VT_I2), DISP_E_OVERFLOW);
    OleVariant yes(true);
    ASSERT_EQ(VariantChangeType(&out, &yes, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"True");
    // Flags read from settings texts, under any user's locale.
    for (const char16_t* text : {u"True", u"true", u"-1", u"1"}) {
        OleVariant flag(text);
        ASSERT_EQ(VariantChangeType(&out, &flag, 0, VT_BOOL), S_OK) << kernel::WideToUtf8(text);
        EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    }
    for (const char16_t* text : {u"False", u"0"}) {
        OleVariant flag(text);
        ASSERT_EQ(VariantChangeType(&out, &flag, 0, VT_BOOL), S_OK) << kernel::WideToUtf8(text);
        EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    }
    OleVariant word(u"word");
    OleVariant keep(5);
    EXPECT_EQ(VariantChangeType(&keep, &word, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(keep.vt, VT_I4);
    EXPECT_EQ(keep.lVal, 5);
}

// Whatever the user's locale (the suite runs under a Russian and an English one), texts of
// fractions, currency and dates are those of the process formats that the library sets.
TEST(SystemVariant, FractionsAndDatesAsTextFollowTheProcessFormats) {
    kernel::FormatSettings& formats = kernel::ProcessFormatSettings();
    const kernel::FormatSettings saved = formats;
    formats.DecimalSeparator = ',';
    formats.DateSeparator = '.';
    formats.ShortDateFormat = "dd.MM.yyyy";
    OleVariant out;
    OleVariant money = OleVariant::FromCurrency(12345); // 1.2345
    ASSERT_EQ(VariantChangeType(&out, &money, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"1,2345");
    OleVariant day = OleVariant::FromDate(kernel::EncodeDate(2025, 12, 31, 0));
    ASSERT_EQ(VariantChangeType(&out, &day, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"31.12.2025");
    OleVariant dayText(u"01.02.2024");
    ASSERT_EQ(VariantChangeType(&out, &dayText, 0, VT_DATE), S_OK);
    EXPECT_DOUBLE_EQ(out.date, kernel::EncodeDate(2024, 2, 1, 0));
    OleVariant fraction(u"2,5");
    ASSERT_EQ(VariantChangeType(&out, &fraction, 0, VT_R4), S_OK);
    EXPECT_FLOAT_EQ(out.fltVal, 2.5f);
    ASSERT_EQ(VariantChangeType(&out, &fraction, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 2); // not 25: the comma is no thousands separator here
    // By reference, and converted in place.
    double real = 0.25;
    VARIANT ref{};
    ref.vt = VT_BYREF | VT_R8;
    ref.pdblVal = &real;
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"0,25");
    ASSERT_EQ(VariantChangeType(&out, &out, 0, VT_R8), S_OK);
    EXPECT_DOUBLE_EQ(out.dblVal, 0.25);
    formats.DecimalSeparator = '.';
    OleVariant half(0.5);
    ASSERT_EQ(VariantChangeType(&out, &half, 0, VT_BSTR), S_OK);
    EXPECT_EQ(TextFromBStr(out.bstrVal), u"0.5");
    OleVariant word(u"пять");
    EXPECT_EQ(VariantChangeType(&out, &word, 0, VT_R8), DISP_E_TYPEMISMATCH);
    formats = saved;
}

TEST(SystemSafeArray, ATableOfVariantsKeepsItsShapeAcrossTheBoundary) {
    // Three rows from 1, two columns from 0: dimension 1 varies fastest.
    const SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, 0}};
    SAFEARRAY* table = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(table, nullptr);
    for (LONG row = 1; row <= 3; ++row)
        for (LONG column = 0; column <= 1; ++column) {
            const LONG at[2] = {row, column};
            OleVariant cell(std::u16string(1, static_cast<char16_t>(u'а' + row * 2 + column)));
            ASSERT_EQ(SafeArrayPutElement(table, at, &cell), S_OK);
        }
    ::SAFEARRAY* system = reinterpret_cast<::SAFEARRAY*>(table);
    ::LONG low = 0, high = 0;
    ASSERT_EQ(::SafeArrayGetLBound(system, 1, &low), S_OK);
    ASSERT_EQ(::SafeArrayGetUBound(system, 1, &high), S_OK);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 3);
    ASSERT_EQ(::SafeArrayGetUBound(system, 2, &high), S_OK);
    EXPECT_EQ(high, 1);
    const auto* cells = static_cast<const ::VARIANT*>(table->pvData);
    EXPECT_EQ(SystemText(cells[1].bstrVal), u"д"); // (2, 0)
    EXPECT_EQ(SystemText(cells[3].bstrVal), u"г"); // (1, 1)
    ::LONG at[2] = {3, 1};
    ::VARIANT read;
    ::VariantInit(&read);
    ASSERT_EQ(::SafeArrayGetElement(system, at, &read), S_OK);
    EXPECT_EQ(SystemText(read.bstrVal), u"з");
    ::VariantClear(&read);
    const LONG outside[2] = {4, 1};
    EXPECT_EQ(SafeArrayGetElement(table, outside, &read), DISP_E_BADINDEX);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(table, &copy), S_OK);
    EXPECT_EQ(::SafeArrayDestroy(system), S_OK);
    EXPECT_EQ(SafeArrayElementCount(copy), 6u);
    EXPECT_EQ(SafeArrayBound(copy, 1).cElements, 3u);
    EXPECT_EQ(SafeArrayBound(copy, 2).lLbound, 0);
    VARTYPE type = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(copy, &type), S_OK);
    EXPECT_EQ(type, VT_VARIANT);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

TEST(SystemSafeArray, TheLastDimensionResizesAndTheArraysForFillingStartEmpty) {
    const SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SAFEARRAY* table = SafeArrayCreateToFill(VT_BSTR, 2, bounds);
    ASSERT_NE(table, nullptr);
    for (ULONGLONG k = 0; k < SafeArrayElementCount(table); ++k)
        EXPECT_EQ(static_cast<BSTR*>(table->pvData)[k], nullptr);
    const LONG at[2] = {1, 1};
    BStr text(u"край");
    ASSERT_EQ(SafeArrayPutElement(table, at, text.Get()), S_OK);
    const SAFEARRAYBOUND three{3, 0};
    ASSERT_EQ(SafeArrayRedim(table, &three), S_OK);
    EXPECT_EQ(SafeArrayBound(table, 2).cElements, 3u);
    EXPECT_EQ(SafeArrayBound(table, 1).cElements, 2u);
    BSTR kept = nullptr;
    ASSERT_EQ(SafeArrayGetElement(table, at, &kept), S_OK);
    EXPECT_EQ(TextFromBStr(kept), u"край");
    SysFreeString(kept);
    EXPECT_EQ(SafeArrayDestroy(table), S_OK);
}

TEST(SystemErrorInfo, DescriptionsReachTheSystemAndComeBack) {
    SetErrorDescription(u"Устройство не найдено");
    ::IErrorInfo* info = nullptr;
    ASSERT_EQ(::GetErrorInfo(0, &info), S_OK);
    ::BSTR description = nullptr;
    ASSERT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_EQ(SystemText(description), u"Устройство не найдено");
    ::SysFreeString(description);
    ::GUID guid;
    ASSERT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_TRUE(::IsEqualGUID(guid, ::GUID_NULL));
    info->Release();
    EXPECT_EQ(::GetErrorInfo(0, &info), S_FALSE); // handed out once

    ::ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(::CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(L"Сбой хоста"));
    ::IErrorInfo* hostInfo = nullptr;
    ASSERT_EQ(create->QueryInterface(::IID_IErrorInfo, reinterpret_cast<void**>(&hostInfo)), S_OK);
    ASSERT_EQ(::SetErrorInfo(0, hostInfo), S_OK);
    hostInfo->Release();
    create->Release();
    EXPECT_EQ(TakeErrorDescription(), u"Сбой хоста");
    EXPECT_EQ(TakeErrorDescription(), u"");
}

TEST(SystemGuid, NewGuidsAreRandomAndRoundTripThroughTheirText) {
    GUID a{}, b{};
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.Data3 >> 12, 4); // version 4: random
    GUID parsed{};
    ASSERT_EQ(CLSIDFromString(StringFromCLSID(a), &parsed), S_OK);
    EXPECT_EQ(parsed, a);
    wchar_t text[40];
    ASSERT_EQ(::StringFromGUID2(reinterpret_cast<const ::GUID&>(a), text, 40), 39);
    EXPECT_EQ(StringFromCLSID(a), std::u16string(reinterpret_cast<const char16_t*>(text)));
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

// A plain in-process object, as the root object registers itself.
class TActive final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IUnknown::Guid) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    std::atomic<ULONG> Refs{1};
};

class SystemRunningObjects : public ::testing::Test {
  protected:
    void SetUp() override {
        FJoined = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override {
        if (FJoined) CoUninitialize();
    }
    bool FJoined = false;
};

constexpr GUID ClassA = MakeGuid("7A1C0E52-4B3D-4F6E-8A9B-0C1D2E3F4A5B");

TEST_F(SystemRunningObjects, ARegisteredObjectIsFoundUntilRevoked) {
    ASSERT_TRUE(FJoined);
    TActive object;
    DWORD token = 0;
    ASSERT_EQ(RegisterActiveObject(&object, ClassA, ACTIVEOBJECT_STRONG, &token), S_OK);
    EXPECT_NE(token, 0u);
    EXPECT_GT(object.Refs.load(), 1u); // the table holds it

    IUnknown* found = nullptr;
    ASSERT_EQ(GetActiveObject(ClassA, nullptr, &found), S_OK);
    ASSERT_NE(found, nullptr);
    // The same object, whichever interface pointer the table hands back.
    IUnknown* identity = nullptr;
    ASSERT_EQ(found->QueryInterface(IUnknown::Guid, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&object));
    identity->Release();
    found->Release();

    EXPECT_EQ(RevokeActiveObject(token, nullptr), S_OK);
    EXPECT_EQ(object.Refs.load(), 1u); // every reference the table took is given back
    EXPECT_EQ(GetActiveObject(ClassA, nullptr, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(found, nullptr);
    EXPECT_TRUE(FAILED(RevokeActiveObject(token, nullptr)));
}

TEST_F(SystemRunningObjects, NilArgumentsAreRefused) {
    DWORD token = 0;
    EXPECT_EQ(RegisterActiveObject(nullptr, ClassA, ACTIVEOBJECT_STRONG, &token), E_INVALIDARG);
    TActive object;
    EXPECT_EQ(RegisterActiveObject(&object, ClassA, ACTIVEOBJECT_STRONG, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetActiveObject(ClassA, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(object.Refs.load(), 1u);
}

} // namespace
} // namespace quill::com
