// The vocabulary of the settings documents: element names and XPath paths (numbers 0 to 33) and
// attribute names (numbers 100 to 130), each with an English alias that no lookup uses.
//
// In every name the Cyrillic letter "ч" is written as the digit "4" ("То4каДоступа"). Paths 29 and
// 30 carry one "%s" where the caller puts a predicate on the equipment class or the product.
//
// A number outside a table, or a table record whose number differs from its position, raises the
// coded error 20000 with the table's message. The tables are constant data: lookups are pure and
// thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quill::exchange {

struct TXmlNameRecord {
    int Number;
    std::u16string_view Name;
    std::u16string_view Alias;
};

constexpr int FirstNodeNumber = 0;
constexpr int LastNodeNumber = 33;
constexpr int FirstAttributeNumber = 100;
constexpr int LastAttributeNumber = 130;

// Element and path numbers used by name.
namespace node {
constexpr int Parameter = 0;      // "Параметр"
constexpr int Device = 1;         // "Устройство"
constexpr int System = 2;         // "Система"
constexpr int ModelItem = 8;      // "КлассОборудования"
constexpr int Model = 9;          // "Модель"
constexpr int Parameters = 10;    // "Параметры"
constexpr int Equipment = 11;     // "Оборудование"
constexpr int ColorItem = 12;     // "ColorItem"
constexpr int ParameterPath = 15; // "./Параметры/Параметр"
constexpr int DevicePath = 16;    // "/Система/Оборудование/Устройство"
constexpr int AnyParameter = 18;  // "//Параметры/Параметр"
constexpr int AnyModel = 27;      // "//Модель"
constexpr int AnyDevice = 28;     // "//Устройство"
constexpr int ClassModelPath = 29; // "/Система/КлассыОборудования/КлассОборудования%s/Модель"
constexpr int ProductPointPath = 30; // "/Система/Решения/Решение%s/То4киДоступа/То4каДоступа"
} // namespace node

// Attribute numbers used by name.
namespace attr {
constexpr int Id = 100;           // "Код"
constexpr int Identifier = 101;   // "Идентификатор"
constexpr int Value = 102;        // "Зна4ение"
constexpr int Name = 103;         // "Наименование"
constexpr int Type = 104;         // "Тип"
constexpr int ReadOnly = 105;     // "ФлагТолько4тение"
constexpr int Default = 106;      // "Зна4ениеПоУмол4анию"
constexpr int Hint = 107;         // "Описание"
constexpr int Version = 108;      // "Версия"
constexpr int ModelId = 109;      // "КодМодели"
constexpr int State = 115;        // "Состояние"
constexpr int Library = 118;      // "Библиотека"
constexpr int UsesPlatform = 119; // "ИспользуетOrvix"
constexpr int PluVersion = 120;   // "ВерсияPLU"
constexpr int Release = 121;      // "Релиз"
constexpr int ClassIdentifier = 122; // "-": stands for the class's "Идентификатор" in filters
constexpr int ClassId = 129;         // "-": stands for the class's "Код" in filters
} // namespace attr

// The tables themselves, in position order.
std::span<const TXmlNameRecord> NodeNameTable();
std::span<const TXmlNameRecord> AttributeNameTable();

// The name of element/path `number` (0..33) and of attribute `number` (100..130).
std::u16string_view NodeName(int number);
std::u16string_view AttributeName(int number);

// The lookup both use, over any table whose first record has number `first`: checks the range
// and the record's number and raises with the given (UTF-16) messages.
std::u16string_view LookupXmlName(std::span<const TXmlNameRecord> table, int first, int number,
                                  std::u16string_view outOfRange, std::u16string_view mismatch);

} // namespace quill::exchange
