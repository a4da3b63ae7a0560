// The identity of the keyboard-scanner driver: the description the device manager registers for
// it and by which hosts and the instance mutex know it. Fixed values, shared with hosts.
#pragma once

#include <string_view>

namespace quill::plugin::identity {

inline constexpr std::u16string_view Name = u"Scanner";
inline constexpr std::u16string_view Identifier = u"C928E8C3-DA90-48CB-A8C8-CD44CC05BCDC";
inline constexpr std::u16string_view DisplayName = u"Orvix-Pellam: Клавиатурный сканер штрихкода";
inline constexpr std::u16string_view ProgId = u"Addin.Quill";
inline constexpr std::u16string_view Description =
    u"Драйвер для работы со сканерами, подключающимися в разрыв стандартной клавиатуры. Вырезает "
    u"из потока нажимаемых клавиш последовательность ограниченную настраиваемыи "
    u"префиксом/суффиксом и посылает ее в данных внешнего события.";

} // namespace quill::plugin::identity
