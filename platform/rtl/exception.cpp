#include "platform/rtl/exception.h"

namespace quill::rtl {

Exception::Exception(std::string message, int helpContext)
    : FMessage(std::move(message)), FHelpContext(helpContext) {}
Exception::~Exception() = default;
EConvertError::~EConvertError() = default;
EInvalidOp::~EInvalidOp() = default;
EInvalidCast::~EInvalidCast() = default;

EOleSysError::EOleSysError(std::string message, com::HRESULT code)
    : Exception(std::move(message)), FErrorCode(code) {}
EOleSysError::~EOleSysError() = default;

} // namespace quill::rtl
