#include "infra/codes/coded_exception.h"

#include "infra/codes/message_table.h"
#include "platform/kernel/codepage.h"

namespace quill::infra {

ECodedException::ECodedException(std::int32_t code, std::string message)
    : rtl::Exception(std::move(message)), Code(code) {
    Codes.push_back(code);
}
ECodedException::~ECodedException() = default;
EHardwareEquipmentException::~EHardwareEquipmentException() = default;

void RaiseCodedError(std::int32_t code, const rtl::FormatArgs& arguments) {
    std::string message;
    if (code >= codes::FirstFramework && code <= codes::LastFramework) {
        bool known = false;
        RussianText(code, known);
        // A framework code missing from the table gets the unknown-code text, numbered with the
        // code itself rather than with whatever the caller meant for another template.
        const rtl::FormatArgs& filling = known ? arguments : rtl::FormatArgs{code};
        message = rtl::Format(kernel::WideToAnsi(ErrorText(code)), filling);
    } else
        message = rtl::Format("%s", arguments);
    throw ECodedException(code, std::move(message));
}

void RaiseCodedError(std::int32_t code) {
    RaiseCodedError(code, {});
}

void RaiseErrorText(const std::string& text) {
    RaiseCodedError(codes::FreeText, {text});
}

} // namespace quill::infra
