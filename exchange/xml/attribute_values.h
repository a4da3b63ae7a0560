// Typed reads of settings attributes: an attribute's value as an integer, 0 (or the given
// default) when the node is nil, the attribute is absent, or its text is no integer (as the
// run-time library's StrToIntDef reads it). Never raises for the value itself; a bad attribute
// number raises the name-table error.
#pragma once

#include "platform/xml/dom.h"

#include <cstdint>

namespace quill::exchange {

std::int32_t IntegerAttribute(const xml::XmlNode& node, int number, std::int32_t defaultValue = 0);

} // namespace quill::exchange
