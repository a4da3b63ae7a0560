#include "exchange/collections/filter.h"

#include "exchange/xml/text_utils.h"
#include "exchange/xml/xml_names.h"
#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"

#include <charconv>

namespace quill::exchange {

namespace {

// The Russian and Latin letters come first, Ы before Ъ, as the predicates have always been
// written; the code page's other letter pairs (Ґ, Є, І, Ї, Ў, Ђ, Љ and their kin) follow, so that
// the attribute side folds exactly the letters that the value side folds.
struct TFilterAlphabets {
    std::u16string Upper;
    std::u16string Lower;
};

const TFilterAlphabets& Alphabets() {
    static const TFilterAlphabets alphabets = [] {
        TFilterAlphabets result{u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЫЪЬЭЮЯABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                u"абвгдеёжзийклмнопрстуфхцчшщыъьэюяabcdefghijklmnopqrstuvwxyz"};
        const kernel::TCasePairs& pairs = kernel::WideCasePairs();
        for (std::size_t i = 0; i < pairs.Upper.size(); ++i) {
            if (result.Upper.find(pairs.Upper[i]) != std::u16string::npos) continue;
            result.Upper.push_back(pairs.Upper[i]);
            result.Lower.push_back(pairs.Lower[i]);
        }
        return result;
    }();
    return alphabets;
}

std::u16string Decimal(int number) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string KeyOf(int number) {
    if (number == attr::ClassIdentifier) return u"_" + Decimal(attr::Identifier);
    if (number == attr::ClassId) return u"_" + Decimal(attr::Id);
    return Decimal(number);
}

std::u16string Escape(std::u16string_view value) {
    return ReplaceAll(ReplaceAll(value, u"&", u"&amp;", true), u"\"", u"&quot;", true);
}

int NumberOfKey(std::u16string_view key) {
    const std::string digits = kernel::WideToAnsi(key);
    int number = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) return -1;
    return number;
}

void AppendCondition(std::u16string& predicate, int number, std::u16string_view value) {
    if (!predicate.empty()) predicate += u" and ";
    std::u16string compared = FilterLowerCase(value);
    std::u16string_view op = u"=";
    if (number == attr::State) {
        op = u"!=";
        compared = value == u"0" ? u"1" : u"0";
    }
    predicate += u"(translate(@";
    predicate += AttributeName(number);
    predicate += u",\"";
    predicate += Alphabets().Upper;
    predicate += u"\",\"";
    predicate += Alphabets().Lower;
    predicate += u"\")";
    predicate += op;
    predicate += u"\"";
    predicate += compared;
    predicate += u"\")";
}

} // namespace

std::u16string FilterLowerCase(std::u16string_view text) {
    return kernel::WideLowerCase(text);
}

void AddFilterConditions(TFilter& filter, std::span<const int> numbers,
                         std::span<const std::u16string> values) {
    if (numbers.size() != values.size()) {
        static const std::string text =
            kernel::WideToAnsi(u"Размерности массивов аттрибутов и значений не совпадают");
        infra::RaiseErrorText(text);
    }
    for (int number : numbers)
        AttributeName(number);
    TFilter result = filter;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (values[i].empty() || values[i] == u"*") continue;
        const std::u16string key = KeyOf(numbers[i]);
        std::u16string value = Escape(values[i]);
        bool replaced = false;
        for (auto& entry : result) {
            if (entry.first == key) {
                entry.second = value;
                replaced = true;
                break;
            }
        }
        if (!replaced) result.emplace_back(key, std::move(value));
    }
    filter = std::move(result);
}

TFilterPredicates BuildPredicates(const TFilter& filter) {
    TFilterPredicates predicates;
    for (const auto& [key, value] : filter) {
        const bool onClass = !key.empty() && key.front() == u'_';
        const int number =
            NumberOfKey(onClass ? std::u16string_view(key).substr(1) : std::u16string_view(key));
        AppendCondition(onClass ? predicates.Class : predicates.Model, number, value);
    }
    if (!predicates.Model.empty()) predicates.Model = u"[" + predicates.Model + u"]";
    if (!predicates.Class.empty()) predicates.Class = u"[" + predicates.Class + u"]";
    return predicates;
}

} // namespace quill::exchange
