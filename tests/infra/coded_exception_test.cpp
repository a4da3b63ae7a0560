#include "infra/codes/coded_exception.h"
#include "infra/codes/message_table.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/locale.h"
#include "support/language.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace quill;
using infra::ECodedException;
using infra::ErrorText;
using infra::RaiseCodedError;
using test::ScopedLanguage;

namespace {

ECodedException Raised(std::int32_t code, const rtl::FormatArgs& args) {
    try {
        RaiseCodedError(code, args);
    } catch (const ECodedException& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return ECodedException(0, "");
}

std::u16string Message(const ECodedException& e) {
    return kernel::AnsiToWide(e.Message());
}

} // namespace

TEST(MessageTable, LanguageFollowsTheLowByteOfTheUserLanguage) {
    QUILL_IN_LANGUAGE("ru_RU.UTF-8") {
        EXPECT_EQ(ErrorText(0), u"Ok");
        EXPECT_EQ(ErrorText(1110), u"Работа с сервером не поддерживается");
        EXPECT_EQ(ErrorText(20049), u"Неизвестная ошибка (Код = %d)!");
        EXPECT_EQ(ErrorText(-5), u"Неизвестная ошибка (Код = %d)!");
    }
    QUILL_IN_LANGUAGE("en_GB.UTF-8") {
        EXPECT_EQ(ErrorText(0), u"Ok");
        EXPECT_EQ(ErrorText(1110), u"Unknown error (Code = 1110)!");
        EXPECT_EQ(ErrorText(20049), u"Unknown error (Code = 20049)!");
        EXPECT_EQ(ErrorText(-5), u"Unknown error (Code = -5)!");
        EXPECT_EQ(ErrorText(20058), u"Unknown error (Code = 20058)!");
    }
    QUILL_IN_LANGUAGE(nullptr) {
        EXPECT_EQ(ErrorText(1002), u"Unknown method");
    }
    // Every language the platform tells apart, Russian regions included: only Russian is Russian.
    for (const kernel::TLanguageCode& entry : kernel::kKnownLanguages) {
        const std::string setting = std::string(entry.Code) + ".UTF-8";
        ScopedLanguage language(setting.c_str());
        if (!language.Holds()) continue;
        const bool russian = std::string_view(entry.Code).starts_with("ru");
        EXPECT_EQ(ErrorText(1110), russian ? u"Работа с сервером не поддерживается"
                                           : u"Unknown error (Code = 1110)!")
            << setting;
    }
}

TEST(MessageTable, TextsKeepTheirBlanksAndLineBreaks) {
    QUILL_IN_LANGUAGE("en_US") {
        EXPECT_EQ(ErrorText(20048), u"Incorrect value of parameter ");
        EXPECT_EQ(ErrorText(21005), u"Incorrect value of parameter ");
        EXPECT_EQ(ErrorText(20025), u"The application is not found  [%s]");
        EXPECT_EQ(ErrorText(20041), u"Mistake of a configuration file:\r\nduplication of the "
                                    u"description of the application.");
        EXPECT_EQ(ErrorText(21011), u"Function \"%s\" is not supported by the current FR");
    }
    QUILL_IN_LANGUAGE("ru_RU") {
        EXPECT_EQ(ErrorText(20054), u"%s\r\nНедостаточно прав пользователя.");
        EXPECT_EQ(ErrorText(1003), u"Команда не поддерживаеся устройством");
    }
}

TEST(RaiseCodedError, FrameworkCodesTakeTheTableTemplate) {
    QUILL_IN_LANGUAGE("ru_RU.UTF-8") {
        const auto e = Raised(20001, {"COM1"});
        EXPECT_EQ(e.Code, 20001);
        EXPECT_EQ(Message(e), u"Оборудование не найдено [COM1].");
        ASSERT_EQ(e.Codes.size(), 1u);
        EXPECT_EQ(e.Codes[0], 20001);
    }
    ScopedLanguage english("en_US.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(english);
    EXPECT_EQ(Message(Raised(20001, {"COM1"})), u"The equipment not found [COM1].");
    EXPECT_EQ(Message(Raised(20000, {"free text"})), u"free text");
    EXPECT_EQ(Message(Raised(21000, {"other text"})), u"other text");
}

TEST(RaiseCodedError, OtherCodesKeepTheCallersText) {
    ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    const auto e = Raised(1002, {"abc"});
    EXPECT_EQ(e.Code, 1002);
    EXPECT_EQ(e.Message(), "abc");
    EXPECT_EQ(Raised(-7, {"minus"}).Message(), "minus");
}

TEST(RaiseCodedError, MissingArgumentsRaiseTheFormatterErrorNotACrash) {
    ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    EXPECT_THROW(RaiseCodedError(20001), rtl::EConvertError);
    EXPECT_THROW(RaiseCodedError(20005, {"one"}), rtl::EConvertError);
    EXPECT_THROW(RaiseCodedError(1002), rtl::EConvertError);
    EXPECT_THROW(RaiseCodedError(20001, {5}), rtl::EConvertError);
    // A framework code missing from the table is numbered with the code itself.
    EXPECT_EQ(Message(Raised(20049, {})), u"Неизвестная ошибка (Код = 20049)!");
    EXPECT_EQ(Raised(20058, {}).Code, 20058);
}

TEST(RaiseCodedError, HardwareExceptionIsACodedException) {
    try {
        throw infra::EHardwareEquipmentException(3, "device");
    } catch (const ECodedException& e) {
        EXPECT_EQ(e.Code, 3);
        EXPECT_EQ(e.Codes, infra::TCodeArray{3});
    }
}
