#include "platform/rtl/safecall.h"

#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/exception.h"

#include <exception>
#include <new>

namespace quill::rtl {

com::HRESULT HandleSafecallException() noexcept {
    try {
        throw;
    } catch (const EOleSysError& e) {
        com::SetErrorDescription(kernel::AnsiToWide(e.Message()));
        return e.ErrorCode();
    } catch (const Exception& e) {
        com::SetErrorDescription(kernel::AnsiToWide(e.Message()));
        return com::E_UNEXPECTED;
    } catch (const std::bad_alloc&) {
        com::SetErrorDescription(u"Out of memory");
        return com::E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        com::SetErrorDescription(kernel::Utf8ToWide(e.what()));
        return com::E_UNEXPECTED;
    } catch (...) {
        com::SetErrorDescription(u"Unknown failure");
        return com::E_UNEXPECTED;
    }
}

} // namespace quill::rtl
