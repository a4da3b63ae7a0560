#include "infra/codes/message_table.h"

#include "platform/kernel/locale.h"

#include <algorithm>
#include <iterator>

namespace quill::infra {

namespace {

struct Message {
    std::int32_t code;
    const char16_t* russian;
    const char16_t* english; // nullptr: the English fallback applies
};

// Sorted by code. Trailing and doubled blanks are part of the texts.
constexpr Message kMessages[] = {
    {0, u"Ok", u"Ok"},
    {74, u"Истек таймаут ожидания", u"TimeOut"},
    {201, u"Пользователь отказался от сохранения настроек",
     u"The user has declined changing of settings values"},
    {1001, u"Неизвестная ошибка (Код = %d)!", u"Unknown error"},
    {1002, u"Команда не распознана устройством", u"Unknown method"},
    {1003, u"Команда не поддерживаеся устройством", u"Method not supported."},
    {1004, u"Несоответствие типов параметров", u"Parameter mismatch"},
    {1005, u"Список устройств пуст", u"Device list is empty"},
    {1006, u"Библиотека не найдена", u"Library not found"},
    {1007, u"Устройство не отвечает", u"Device no response"},
    {1008, u"Оборудование не готово", u"Device not ready"},
    {1110, u"Работа с сервером не поддерживается", nullptr},
    {1111, u"Связь с сервером отсутствует", nullptr},
    {3001, u"Нет бумаги", u"Paper over"},
    {3002, u"Длительность смены превысила 24 часа", u"Need to make a Z-report"},
    {3003, u"Печать на подкладном документе не поддерживается", u"Slip printing is not supported"},
    {20000, u"%s", u"%s"},
    {20001, u"Оборудование не найдено [%s].", u"The equipment not found [%s]."},
    {20002, u"Неверный номер элемента массива.", u"Invalid index."},
    {20003, u"Входные данные для выполнения задания не определены.", u"Input data not defined."},
    {20004, u"Оборудование не определено.", u"The equipment not defined."},
    {20005, u"Неверное состояние задачи для вызываемой операции [%s] Операция [%s].",
     u"Invalid task state [%s] Action [%s]."},
    {20006, u"Ошибка времени исполнения [%s].", u"Executing timeout [%s]."},
    {20007, u"Превышено время ожидания [%s].", u"Waiting timeout [%s]."},
    {20008, u"Неверное количество параметров для Invoke.", u"Invalid params count."},
    {20009, u"Не найдена задача с указанным идентификатором [%s]", u"The task not found [%s]."},
    {20010, u"Точка доступа не найдена [%s]", u"The access point not found [%s]"},
    {20011, u"Оборудование уже используется.", u"The equipment already used."},
    {20013, u"Сервер уже запущен.", u"The server is already started ."},
    {20014, u"Неподдерживаемый тип данных.", u"Bad data type."},
    {20020, u"Точка доступа с указанными параметрами уже существует.",
     u"The point of access with the specified parameters already exists ."},
    {20021, u"Ошибка вызова метода [%s]", u"Mistake by a call of a method [%s]"},
    {20022, u"Ошибка конфигурации - общий или локальный каталог неопределены.",
     u"Mistake of a configuration - the global or local folder are not certain."},
    {20023, u"Ошибка структуры конфигурационного файла %s",
     u"Mistake of structure of a configuration file %s"},
    {20024, u"Не найдена библиотека оборудования [%s]",
     u"The library of the equipment is not found [%s]"},
    {20025, u"Решение не найдено [%s]", u"The application is not found  [%s]"},
    {20026, u"Операция прервана", u"Operation is canceled"},
    {20027, u"Модель оборудования не найдена [%s]",
     u"The model of the equipment is not found  [%s]"},
    {20028, u"Неверная структура параметра", u"Incorrect structure of parameter"},
    {20029, u"Неверный тип свойства [%s]", u"Incorrect type of property [%s]"},
    {20030, u"Оборудование выключено.", u"The equipment is switched off."},
    {20031, u"Оборудование заблокировано другой задачей.",
     u"The equipment is blocked by other task."},
    {20032,
     u"Устройство не готово: - не включен компьютер [%s] или с ним нет связи.\r\nВозможная "
     u"причина - установленное программное обеспечение (firewall) блокирует сетевое соединение.",
     u"The device is not ready: - the computer [%s] is not included or with it there is no "
     u"communication. \r\n the possible reason - the established software (firewall) blocks "
     u"network connection."},
    {20033, u"Доступ к оборудованию запрещен. Возможная причина - %s.\r\nОборудование: [%s]",
     u"Access to the equipment is forbidden. The possible reason - is not found library of "
     u"management by the equipment. \r\n The equipment : [%s]"},
    {20036, u"Метод/Свойство [%s] не обнаружено", u"Method/property [%s] it is not revealed"},
    {20040, u"Нет доступа к общему каталогу.", u"There is no access to the global folder."},
    {20041, u"Ошибка конфигурационного файла:\r\nдублирование описания решения.",
     u"Mistake of a configuration file:\r\nduplication of the description of the application."},
    {20042, u"Ошибка конфигурационного файла:\r\nдублирование описания рабочей точки.",
     u"Mistake of a configuration file: \r\n duplication of the description of a access point ."},
    {20043, u"Не указан номер порта.", u"Number of port is not specified."},
    {20045, u"Не указана точка вызова оборудования.",
     u"The point of a call of the equipment is not specified ."},
    {20046, u"Отсутствует связь с сервером синхронизации.",
     u"There is no communication with a server of synchronization."},
    {20047, u"Не удалось загрузить настройки", u"It was not possible to load settings"},
    {20048, u"Неверное значение параметра", u"Incorrect value of parameter "},
    {20050, u"Компьютер с именем [%s] не найден, или недоступен",
     u"The workstation [%s] not fount."},
    {20051, u"Порт [%s] сервера управления оборудования занят другой программой.",
     u"Port [%s] is already used."},
    {20052,
     u"Устройство помечено в системе как неиспользуемое в настоящее время, обращения к нему "
     u"заблокированы",
     u"The device is marked in system as not now in use, references to it are blocked."},
    {20054, u"%s\r\nНедостаточно прав пользователя.", nullptr},
    {20055, u"Библиотека [%s] устарела. Необходимо обновление.", nullptr},
    {20056, u"Библиотека несовместима с данной версией программы.", nullptr},
    {20057, u"Ошибка загрузки библиотеки: %s\r\nПричина: %s", nullptr},
    {20058, u"PluInfo не доступна, Объект DLL не создан.", nullptr},
    {20059,
     u"Ошибка при подключении к серверу синхронизации!\r\n  1. Неверные параметры подключения к "
     u"серверу синхронизации\r\n  2. Cервер синхронизации не запущен\r\n  3. Сетевое соединение "
     u"блокируется аппаратными или программными средствами (firewall)",
     nullptr},
    {20061, u"Файл с именем [%s] не найден!", nullptr},
    {20062, u"Параметры подключения не верны. Server = [%s] Port = [%s]", nullptr},
    {20063, u"Не заданы имена файлов для синхронизации.", nullptr},
    {20065,
     u"Редактирование или удаление работающего оборудования запрещено.\r\nНеобходимо выключить "
     u"оборудование и повторить операцию.\r\n[ID:%s]",
     nullptr},
    {20066, u"Свойство [%s] не обнаружено", u"Property [%s] it is not revealed"},
    {21000, u"%s", u"%s"},
    {21003, u"Неверное количество параметров в SafeArray",
     u"Incorrect quantity of parameters in SafeArray "},
    {21004, u"Недопустимый тип параметра", u"Incorrect type of parameter "},
    {21005, u"Недопустимое значение параметра", u"Incorrect value of parameter "},
    {21010, u"Ошибка получения фискальных реквизитов",
     u"Mistake of reception of fiscal requisites."},
    {21011, u"Функция \"%s\" не поддерживается текущим ФР",
     u"Function \"%s\" is not supported by the current FR"},
    {21012, u"Сетевое оборудование не отвечает.", nullptr},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const Message& a, const Message& b) { return a.code < b.code; }));

const Message* Find(std::int32_t code) {
    const auto* it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                                      [](const Message& m, std::int32_t c) { return m.code < c; });
    return (it != std::end(kMessages) && it->code == code) ? it : nullptr;
}

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

} // namespace

std::u16string RussianText(std::int32_t code, bool& known) {
    const Message* m = Find(code);
    known = m != nullptr;
    return m ? m->russian : u"Неизвестная ошибка (Код = %d)!";
}

std::u16string EnglishText(std::int32_t code, bool& known) {
    const Message* m = Find(code);
    known = m && m->english;
    if (known) return m->english;
    return u"Unknown error (Code = " + Ascii(std::to_string(code)) + u")!";
}

std::u16string ErrorText(std::int32_t code) {
    bool known;
    if (kernel::PrimaryLangId(kernel::GetUserDefaultLangID()) == kernel::LANG_RUSSIAN)
        return RussianText(code, known);
    return EnglishText(code, known);
}

} // namespace quill::infra
