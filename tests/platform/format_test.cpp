#include "platform/com/errorinfo.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"
#include "platform/rtl/safecall.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(Format, FillsDirectivesInOrderOrByIndex) {
    EXPECT_EQ(rtl::Format("[%s] %d%%", {"COM1", 5}), "[COM1] 5%");
    EXPECT_EQ(rtl::Format("%1:s %0:s", {"a", "b"}), "b a");
    EXPECT_EQ(rtl::Format("%5d|%-4s|%.3d|%x", {42, "ab", 7, 255}), "   42|ab  |007|FF");
    EXPECT_EQ(rtl::Format("%d", {-12}), "-12");
}

TEST(Format, MissingOrMismatchedArgumentsRaiseTheFormattersError) {
    EXPECT_THROW(rtl::Format("%s and %s", {"one"}), rtl::EConvertError);
    EXPECT_THROW(rtl::Format("%d", {"text"}), rtl::EConvertError);
    EXPECT_THROW(rtl::Format("%s", {3}), rtl::EConvertError);
    EXPECT_THROW(rtl::Format("50%", {}), rtl::EConvertError);
    EXPECT_THROW(rtl::Format("%q", {1}), rtl::EConvertError);
    try {
        rtl::Format("%s%s", {"x"});
        FAIL();
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "No argument for format '%s%s'");
    }
}

TEST(SafeCall, ExceptionsBecomeResultsWithTheMessageInErrorInfo) {
    EXPECT_EQ(rtl::SafeCall([] {}), com::S_OK);
    EXPECT_EQ(rtl::SafeCall([] { throw rtl::Exception("broken"); }), com::E_UNEXPECTED);
    EXPECT_EQ(com::TakeErrorDescription(), u"broken");
    EXPECT_EQ(com::TakeErrorDescription(), u""); // taken once
    EXPECT_EQ(rtl::SafeCall([] { throw rtl::EOleSysError("no", com::E_NOINTERFACE); }),
              com::E_NOINTERFACE);
    com::IErrorInfo* info = nullptr;
    ASSERT_EQ(com::GetErrorInfo(0, &info), com::S_OK);
    com::GUID guid;
    info->GetGUID(&guid);
    EXPECT_EQ(guid, com::GUID_NULL);
    info->Release();
}
