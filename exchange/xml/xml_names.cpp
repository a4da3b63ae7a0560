#include "exchange/xml/xml_names.h"

#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"

#include <array>

namespace quill::exchange {

namespace {

constexpr std::array<TXmlNameRecord, 34> kNodeNames{{
    {0, u"Параметр", u"ParamItem"},
    {1, u"Устройство", u"EquItem"},
    {2, u"Система", u"System"},
    {3, u"Решения", u"ProductList"},
    {4, u"Решение", u"Product"},
    {5, u"То4киДоступа", u"APList"},
    {6, u"То4каДоступа", u"APItem"},
    {7, u"КлассыОборудования", u"ModelList"},
    {8, u"КлассОборудования", u"ModelItem"},
    {9, u"Модель", u"Model"},
    {10, u"Параметры", u"ParamList"},
    {11, u"Оборудование", u"EquList"},
    {12, u"ColorItem", u"ColorItem"},
    {13, u"МодельИЭкземпляр", u"ModelAndEqu"},
    {14, u"/Система/Решения/Решение/То4киДоступа/То4каДоступа",
     u"/System/ProductList/Product/APList/APItem"},
    {15, u"./Параметры/Параметр", u"./ParamList/ParamItem"},
    {16, u"/Система/Оборудование/Устройство", u"/System/EquList/EquItem"},
    {17, u"/Система/КлассыОборудования/КлассОборудования", u"/System/ModelList/ModelItem"},
    {18, u"//Параметры/Параметр", u"//ParamList/ParamItem"},
    {19, u"/Система/КлассыОборудования/КлассОборудования/Модель",
     u"/System/ModelList/ModelItem/Model"},
    {20, u"/Система", u"/System"},
    {21, u"/Система/Оборудование/Устройство/Параметры/Параметр",
     u"/System/EquList/EquItem/ParamList/ParamItem"},
    {22, u"/Система/Оборудование", u"/System/EquList"},
    {23, u"/Система/КлассыОборудования", u"/System/ModelList"},
    {24, u"./То4киДоступа/То4каДоступа", u"./APList/APItem"},
    {25, u"/Система/Решения/Решение", u"/System/ProductList/Product"},
    {26, u"/Система/Решения", u"/System/ProductList"},
    {27, u"//Модель", u"//Model"},
    {28, u"//Устройство", u"//EquItem"},
    {29, u"/Система/КлассыОборудования/КлассОборудования%s/Модель",
     u"/System/ModelList/ModelItem%s/Model"},
    {30, u"/Система/Решения/Решение%s/То4киДоступа/То4каДоступа",
     u"/System/ProductList/Product%s/APList/APItem"},
    {31, u"Author", u"Author"},
    {32, u"/Система/Author", u"/System/Author"},
    {33, u"/Система/Решения/Решение/То4киДоступа", u"/System/ProductList/Product/APList"},
}};

constexpr std::array<TXmlNameRecord, 31> kAttributeNames{{
    {100, u"Код", u"Id"},
    {101, u"Идентификатор", u"Identif"},
    {102, u"Зна4ение", u"Value"},
    {103, u"Наименование", u"Name"},
    {104, u"Тип", u"Type"},
    {105, u"ФлагТолько4тение", u"ReadOnly"},
    {106, u"Зна4ениеПоУмол4анию", u"Default"},
    {107, u"Описание", u"Hint"},
    {108, u"Версия", u"Ver"},
    {109, u"КодМодели", u"ModelId"},
    {110, u"КодТо4киДоступа", u"APId"},
    {111, u"Порт", u"Port"},
    {112, u"ОбщийКаталог", u"CF"},
    {113, u"СерверСинхронизации", u"Server"},
    {114, u"ИмяМодуля", u"Module"},
    {115, u"Состояние", u"State"},
    {116, u"Компьютер", u"Comp"},
    // Number 117 has no name of its own; its place keeps the numbering (the "-" placeholder).
    {117, u"-", u"-"},
    {118, u"Библиотека", u"Plu"},
    {119, u"ИспользуетOrvix", u"UseOrvix"},
    {120, u"ВерсияPLU", u"PluVer"},
    {121, u"Релиз", u"Release"},
    {122, u"-", u"-"},
    {123, u"ColorForm", u"ColorForm"},
    {124, u"ColorBody", u"ColorBody"},
    {125, u"ColorButton", u"ColorButton"},
    {126, u"ColorEdit", u"ColorEdit"},
    {127, u"ColorBorder", u"ColorBorder"},
    {128, u"ColorFont", u"ColorFont"},
    {129, u"-", u"-"},
    {130, u"Preference", u"Preference"},
}};

template <std::size_t N>
constexpr bool NumberedByPosition(const std::array<TXmlNameRecord, N>& table, int first) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i].Number != first + static_cast<int>(i)) return false;
    return true;
}
static_assert(NumberedByPosition(kNodeNames, FirstNodeNumber) &&
              kNodeNames.size() == LastNodeNumber - FirstNodeNumber + 1);
static_assert(NumberedByPosition(kAttributeNames, FirstAttributeNumber) &&
              kAttributeNames.size() == LastAttributeNumber - FirstAttributeNumber + 1);

} // namespace

std::span<const TXmlNameRecord> NodeNameTable() {
    return kNodeNames;
}
std::span<const TXmlNameRecord> AttributeNameTable() {
    return kAttributeNames;
}

std::u16string_view LookupXmlName(std::span<const TXmlNameRecord> table, int first, int number,
                                  std::u16string_view outOfRange, std::u16string_view mismatch) {
    const long long position = static_cast<long long>(number) - first;
    if (position < 0 || position >= static_cast<long long>(table.size()))
        infra::RaiseErrorText(kernel::WideToAnsi(outOfRange));
    const TXmlNameRecord& record = table[static_cast<std::size_t>(position)];
    if (record.Number != number) infra::RaiseErrorText(kernel::WideToAnsi(mismatch));
    return record.Name;
}

std::u16string_view NodeName(int number) {
    return LookupXmlName(kNodeNames, FirstNodeNumber, number,
                         u"Индекс имени узла за пределами границы.",
                         u"Нарушение индекса списка имени узлов");
}

std::u16string_view AttributeName(int number) {
    return LookupXmlName(kAttributeNames, FirstAttributeNumber, number,
                         u"Индекс имени аттрибута за пределами границы.",
                         u"Нарушение индекса списка имени аттрибутов");
}

} // namespace quill::exchange
