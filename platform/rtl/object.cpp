#include "platform/rtl/object.h"

namespace quill::rtl {

TObject::~TObject() = default;

std::string_view TObject::ClassName() const {
    return "TObject";
}

} // namespace quill::rtl
