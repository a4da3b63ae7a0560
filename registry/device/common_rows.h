// The parameter rows every device list registers for its devices: "Использовать" (whether the
// device may be used) and "Неразделяемое" (whether each access point makes its own device). A
// driver's property table 2 describes the same two parameters with the same texts, so both are
// made from these rows. Constant data; thread-safe.
#pragma once

#include "registry/device/param_def.h"

namespace quill::registry {

inline constexpr TParamDefRow kCommonRows[] = {
    {u"Использовать", u"Usable", u"Использовать", u"Integer", 0, u"1",
     u"Признак того, что данное устройство может быть использовано (включено выключено и т.д.)\r\n"
     u"Допустимые значения: 0 - не может быть использовано, 1 - может",
     nullptr},
    {u"Неразделяемое", u"", u"Неразделяемое", u"Integer", 0, u"0",
     u"Поведение оборудования при нескольких запушенных копий продукта на одной машине или в "
     u"терминальной сессии\r\nЗначение: 0 – Оборудование создается только на главной сессии;\r\n"
     u"1 – Каждый экземпляр точки доступа создает свое локальное оборудование",
     nullptr},
};

} // namespace quill::registry
