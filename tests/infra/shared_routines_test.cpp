#include "infra/root/shared_routines.h"

#include "platform/com/guid.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/collection.h"
#include "platform/rtl/exception.h"
#include "platform/user/message_queue.h"
#include "platform/user/window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quill::infra {
namespace {

constexpr com::GUID Sample = com::MakeGuid("70231714-9996-413C-BFBB-F504227138B8");

TEST(GuidText, RoundTripsAndAcceptsEitherCase) {
    EXPECT_EQ(GuidToText(Sample), u"{70231714-9996-413C-BFBB-F504227138B8}");
    EXPECT_TRUE(SameGuid(GuidFromText(u"{70231714-9996-413c-bfbb-f504227138b8}"), Sample));
    EXPECT_TRUE(
        SameGuid(GuidFromText(std::string("{70231714-9996-413C-BFBB-F504227138B8}")), Sample));
    EXPECT_TRUE(SameGuid(GuidFromText(u""), com::GUID_NULL));
    const com::GUID a = NewGuid(), b = NewGuid();
    EXPECT_FALSE(SameGuid(a, b));
    EXPECT_EQ(a.Data3 >> 12, 4); // version 4
}

TEST(GuidText, MalformedTextRaisesTheLibrarysMessage) {
    const std::string expected =
        kernel::WideToAnsi(u"Значение не является идентификатором объекта.");
    for (const char16_t* bad : {u"70231714-9996-413C-BFBB-F504227138B8", u"{70231714-9996}",
                                u"{70231714-9996-413C-BFBB-F504227138BX}", u" "}) {
        try {
            GuidFromText(bad);
            ADD_FAILURE() << "accepted a malformed GUID text";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), expected);
        }
    }
}

TEST(GuidText, IsGuidTextOnlyForTextsThatParse) {
    EXPECT_TRUE(IsGuidText(com::OleVariant(u"{70231714-9996-413C-BFBB-F504227138B8}")));
    EXPECT_TRUE(IsGuidText(com::OleVariant(u"")));
    EXPECT_FALSE(IsGuidText(com::OleVariant(u"{nope}")));
    EXPECT_FALSE(IsGuidText(com::OleVariant(5)));
    EXPECT_FALSE(IsGuidText(com::OleVariant()));
    com::OleVariant text(u"{70231714-9996-413C-BFBB-F504227138B8}");
    com::VARIANT ref;
    ref.vt = com::VT_BSTR | com::VT_BYREF;
    ref.pbstrVal = &text.bstrVal;
    EXPECT_TRUE(IsGuidText(ref));
}

TEST(VariantKind, ClassifiesNumbersTheWayTheHostSendsThem) {
    EXPECT_EQ(VariantKind(com::OleVariant(2.0000000001)), com::VT_I4);
    EXPECT_EQ(VariantKind(com::OleVariant(2.5)), com::VT_R8);
    EXPECT_EQ(VariantKind(com::OleVariant(-3.0)), com::VT_I4);
    EXPECT_EQ(VariantKind(com::OleVariant(0.0 / 0.0)), com::VT_R8);
    EXPECT_EQ(VariantKind(com::OleVariant::FromCurrency(70000)), com::VT_I4); // 7.0000
    EXPECT_EQ(VariantKind(com::OleVariant::FromCurrency(75000)), com::VT_R8); // 7.5
    EXPECT_EQ(VariantBaseType(com::OleVariant(2.0)), com::VT_R8);
    EXPECT_EQ(VariantBaseType(com::OleVariant::FromCurrency(1)), com::VT_R8);
    EXPECT_EQ(VariantKind(com::OleVariant(u"x")), com::VT_BSTR);

    double number = 4.0;
    com::VARIANT ref;
    ref.vt = com::VT_R8 | com::VT_BYREF;
    ref.pdblVal = &number;
    EXPECT_EQ(VariantKind(ref), com::VT_I4);
    EXPECT_EQ(VariantBaseType(ref), com::VT_R8);
    EXPECT_TRUE(VariantKindIn(ref, {com::VT_BSTR, com::VT_I4}));
    EXPECT_FALSE(VariantKindIn(ref, {com::VT_BSTR, com::VT_R8}));
}

TEST(ArrayValues, CopyBothWaysForVariantAndTypedArrays) {
    com::SAFEARRAY* variants = com::SafeArrayCreateVector(com::VT_VARIANT, 0, 3);
    std::vector<com::OleVariant> in{com::OleVariant(1), com::OleVariant(u"two"),
                                    com::OleVariant(3.5)};
    ValuesToArray(variants, in, 2);
    std::vector<com::OleVariant> out(3, com::OleVariant(99));
    ArrayToValues(variants, out, 2);
    EXPECT_EQ(out[0].vt, com::VT_I4);
    EXPECT_EQ(out[0].lVal, 1);
    ASSERT_EQ(out[1].vt, com::VT_BSTR);
    EXPECT_EQ(com::TextFromBStr(out[1].bstrVal), u"two");
    EXPECT_EQ(out[2].dblVal, 3.5);
    com::SafeArrayDestroy(variants);

    com::SAFEARRAY* texts = com::SafeArrayCreateVector(com::VT_BSTR, 0, 2);
    ValuesToArray(texts, in, 1); // 1 becomes "1"
    ArrayToValues(texts, out, 1);
    EXPECT_EQ(com::TextFromBStr(out[0].bstrVal), u"1");
    EXPECT_EQ(com::TextFromBStr(out[1].bstrVal), u"two");
    // A span shorter than high + 1, or an index the array lacks, raises.
    EXPECT_THROW(ArrayToValues(texts, std::span(out).first(1), 1), rtl::EListError);
    EXPECT_THROW(ArrayToValues(texts, out, 2), rtl::EOleSysError);
    com::SafeArrayDestroy(texts);
}

TEST(TextRoutines, CommaPartSplitsAtTheFirstComma) {
    EXPECT_EQ(CommaPart("a,b,c", false), "a");
    EXPECT_EQ(CommaPart("a,b,c", true), "b,c");
    EXPECT_EQ(CommaPart("abc", false), "abc");
    EXPECT_EQ(CommaPart("abc", true), "");
    EXPECT_EQ(CommaPart(",x", false), "");
}

TEST(TextRoutines, HexToBytesAllOrNothing) {
    EXPECT_EQ(HexToBytes("414"), "A");
    EXPECT_EQ(HexToBytes("4G41"), "");
    EXPECT_EQ(HexToBytes("00fF7e"), std::string("\x00\xff\x7e", 3));
    EXPECT_EQ(HexToBytes(""), "");
}

TEST(TextRoutines, CompareTextLocaleFoldsCyrillicAndLatin) {
    const std::string upper = kernel::WideToAnsi(u"ЁЖИК Abc");
    const std::string lower = kernel::WideToAnsi(u"ёжик aBC");
    EXPECT_EQ(CompareTextLocale(upper, lower), 0);
    EXPECT_EQ(CompareTextLocale("a", "B"), -1);
    EXPECT_EQ(CompareTextLocale("b", "A"), 1);
    EXPECT_EQ(CompareTextLocale(kernel::WideToAnsi(u"Ж"), kernel::WideToAnsi(u"а")), 1);
    EXPECT_EQ(CompareTextLocale("ab", "abc"), -1);
}

TEST(ModulePath, OwnFileAndLongForm) {
    const std::string path = ModuleFileName();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_EQ(path.find('\\'), std::string::npos) << "the platform's paths separate with \"/\"";
    EXPECT_EQ(ModuleFileName(true), "quill-tests-infra");
    // The file's whole name, with the extension the system gives programs (none on Linux).
    EXPECT_EQ(LibraryFileName(), std::filesystem::path(path).filename().string());
    EXPECT_EQ(std::filesystem::path(path).stem(), "quill-tests-infra");
    EXPECT_EQ(LongPathName(path), path);
    EXPECT_EQ(LongPathName("/no/such/file/here"), "/no/such/file/here");
    EXPECT_TRUE(IsNtPlatform());
}

TEST(Crc32, PublishedCheckValueAndMissingData) {
    const char* digits = "123456789";
    EXPECT_EQ(~Crc32(0xFFFFFFFFu, digits, 9), 0xCBF43926u);
    // Updating in pieces gives the same value as one pass.
    EXPECT_EQ(~Crc32(Crc32(0xFFFFFFFFu, digits, 4), digits + 4, 5), 0xCBF43926u);
    EXPECT_EQ(Crc32(0x1234u, nullptr, 9), 0x1234u);
    EXPECT_EQ(Crc32(0x1234u, digits, 0), 0x1234u);
    EXPECT_EQ(Crc32(0x1234u, digits, -1), 0x1234u);
}

int gHandled = 0;
user::LRESULT CALLBACK ThrowingProc(user::HWND, user::UINT message, user::WPARAM, user::LPARAM) {
    if (message == user::WM_USER) {
        ++gHandled;
        throw std::runtime_error("handler failed");
    }
    return 0;
}

TEST(ProcessMessages, DispatchesEverythingWaitingSwallowsFailuresAndKeepsQuit) {
    std::thread([] {
        static const bool registered = [] {
            const user::WNDCLASSA cls{0, &ThrowingProc, "QuillProcessMessagesTest"};
            return user::RegisterClassA(&cls) != 0;
        }();
        ASSERT_TRUE(registered);
        gHandled = 0;
        const user::HWND hwnd =
            user::CreateWindowExA(0, "QuillProcessMessagesTest", "", 0, nullptr, nullptr);
        for (int i = 0; i < 3; ++i)
            user::PostMessageA(hwnd, user::WM_USER, 0, 0);
        user::PostQuitMessage(4);
        ProcessMessages();
        EXPECT_EQ(gHandled, 3);
        user::MSG msg{};
        ASSERT_TRUE(user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE));
        EXPECT_EQ(msg.message, user::WM_QUIT);
        EXPECT_EQ(msg.wParam, 4u);
        EXPECT_FALSE(user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE));
    }).join();
}

} // namespace
} // namespace quill::infra
