// The run-time library's exception classes.
//
// Exception carries a Windows-1251 message and a help context, like the general exception class
// of the platform's run-time library; the library's own failures derive from it. what() returns
// the 8-bit message. EOleSysError carries a platform result code that interface methods return
// as is. These classes live in the shared run-time, so the host and the library catch the same
// types.
#pragma once

#include "platform/com/com_types.h"

#include <exception>
#include <string>

namespace quill::rtl {

class Exception : public std::exception {
  public:
    explicit Exception(std::string message, int helpContext = 0);
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;
    ~Exception() override;

    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    int HelpContext() const { return FHelpContext; }

  private:
    std::string FMessage;
    int FHelpContext;
};

// A text that is no number, a format that does not fit its arguments.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
    ~EConvertError() override;
};

// An operation on a value of a type it does not support.
class EInvalidOp : public Exception {
  public:
    using Exception::Exception;
    ~EInvalidOp() override;
};

// A cast to a class the object is not of.
class EInvalidCast : public Exception {
  public:
    using Exception::Exception;
    ~EInvalidCast() override;
};

// A failure reported by the platform as a result code.
class EOleSysError : public Exception {
  public:
    EOleSysError(std::string message, com::HRESULT code);
    ~EOleSysError() override;
    com::HRESULT ErrorCode() const { return FErrorCode; }

  private:
    com::HRESULT FErrorCode;
};

} // namespace quill::rtl
