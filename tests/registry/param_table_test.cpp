// A device's parameters as a seven-column value array: the table a host reads, and reading it
// back with its number check.
#include "exchange/valuearray/value_array_class.h"
#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"
#include "platform/rtl/convert.h"
#include "registry/list/devices_list.h"
#include "support/language.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace quill;
using com::ComPtr;
using com::OleVariant;
using registry::TDeviceItem;

namespace {

std::string Ansi(std::u16string_view text) {
    return kernel::WideToAnsi(text);
}
std::u16string Text(const com::VARIANT& v) {
    return rtl::VarToWide(v);
}

const com::GUID kModel = com::MakeGuid("31111111-2222-3333-4444-555555555555");

// The two rows every list registers, and five rows of a keyboard scanner.
class TScannerLikeList : public registry::TDevicesList {
  public:
    TScannerLikeList() : registry::TDevicesList(rtl::ItemClassOf<TDeviceItem>) {
        ModelList().RegisterBaseModel(kModel, u"Сканер таблиц", 1, 1, 1, 1, 0, u"", u"СканерТаблиц",
                                      u"Сканер", u"Сканеры", nullptr);
        static const registry::TParamDefRow rows[] = {
            {u"HookPref", u"", u"Префикс", u"String", 0, u"+++", u"Префикс\r\nштрихкода", nullptr},
            {u"HookPost", u"", u"Суффикс", u"String", 0, u"+++", u"Суффикс", nullptr},
            {u"HookTimeOut", u"", u"Время ожидания", u"Integer", 0, u"65", u"Время", nullptr},
            {u"UseInterCharInterval", u"", u"Интервал", u"Integer", 0, u"0", u"Режим", nullptr},
            {u"MinDataLen", u"", u"Минимальная длина", u"Integer", 0, u"4", u"Длина", nullptr},
        };
        RegisterParams(rows);
    }
};

// A host's event sink that makes the library's value arrays and counts them.
class TArraySink : public IEventSupport2 {
  public:
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (iid == com::IUnknown::Guid || iid == IEventSupport::Guid ||
            iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            AddRef();
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    com::ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    com::HRESULT STDMETHODCALLTYPE Reserved01() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved02() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved03() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved04() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR, GUID*) override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved06() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved07() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved08() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved09() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved10() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved11() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved12() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved13() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved14() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved15() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved16() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved17() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved18() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved19() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE Reserved20() override { return 0; }
    com::HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override {
        ++Made;
        *array = exchange::CreateValueArray().Detach();
        return com::S_OK;
    }
    com::HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* id) override {
        *id = 0;
        return com::S_OK;
    }
    std::atomic<com::ULONG> Refs{0};
    int Made = 0;
};

ComPtr<ISafeArray> TableOf(const OleVariant& table) {
    EXPECT_EQ(table.vt, com::VT_DISPATCH);
    return ComPtr<ISafeArray>::QueryFrom(table.vt == com::VT_DISPATCH ? table.pdispVal : nullptr);
}

OleVariant Cell(ISafeArray* table, int row, int column) {
    OleVariant value;
    EXPECT_EQ(table->GetValue(row, column, &value), com::S_OK);
    return value;
}

// The row whose column 0 is `name`, or -1.
int RowOf(ISafeArray* table, std::u16string_view name) {
    std::int32_t rows = 0, columns = 0;
    table->GetBounds(&rows, &columns);
    for (int r = 0; r < rows; ++r)
        if (Text(Cell(table, r, 0)) == name) return r;
    return -1;
}

} // namespace

TEST(ParamTable, SevenParametersGiveEightRowsOfSevenColumns) {
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    OleVariant table;
    EXPECT_EQ(device->GetParamTable(table), 0);
    ComPtr<ISafeArray> array = TableOf(table);
    ASSERT_TRUE(array);
    std::int32_t rows = 0, columns = 0;
    ASSERT_EQ(array->GetBounds(&rows, &columns), com::S_OK);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(columns, 7);

    EXPECT_EQ(Text(Cell(array.Get(), 0, 0)), u"ИмяУстройства");
    EXPECT_EQ(Text(Cell(array.Get(), 0, 1)), u"Имя устройства");
    EXPECT_EQ(Text(Cell(array.Get(), 0, 2)), u"Имя устройства");
    EXPECT_EQ(Text(Cell(array.Get(), 0, 3)), u"Строка");
    EXPECT_EQ(Ansi(Text(Cell(array.Get(), 0, 4))), device->Identifier());
    EXPECT_EQ(Cell(array.Get(), 0, 5).vt, com::VT_I4);
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 0, 5)), 1);
    EXPECT_EQ(Text(Cell(array.Get(), 0, 6)), u"");

    // The parameter rows in order: the two common ones, then the scanner's.
    const char16_t* names[] = {u"Использовать", u"Неразделяемое",        u"HookPref",  u"HookPost",
                               u"HookTimeOut",  u"UseInterCharInterval", u"MinDataLen"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(Text(Cell(array.Get(), i + 1, 0)), names[i]);

    // Values and defaults typed by the row's type; the type column in its XML spelling.
    EXPECT_EQ(Text(Cell(array.Get(), 5, 3)), u"Число");
    EXPECT_EQ(Cell(array.Get(), 5, 4).vt, com::VT_I4);
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 5, 4)), 65);
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 5, 6)), 65);
    EXPECT_EQ(Text(Cell(array.Get(), 3, 1)), u"Префикс");
    EXPECT_EQ(Text(Cell(array.Get(), 3, 3)), u"Строка");
    EXPECT_EQ(Cell(array.Get(), 3, 4).vt, com::VT_BSTR);
    EXPECT_EQ(Text(Cell(array.Get(), 3, 4)), u"+++");
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 3, 5)), 0);
    EXPECT_EQ(Text(Cell(array.Get(), 7, 6)), u"4");
}

// Names, captions, descriptions, type names are texts in every row; the read-only flag is the
// integer 0 or 1 (a Boolean true would read as -1); value and default follow the row's type.
TEST(ParamTable, EveryColumnHoldsItsType) {
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    device->Params().AddDefinition("Locked", "", "Locked", "Boolean", true, "True", "");
    OleVariant table;
    device->GetParamTable(table);
    ComPtr<ISafeArray> array = TableOf(table);
    ASSERT_TRUE(array);
    std::int32_t rows = 0, columns = 0;
    array->GetBounds(&rows, &columns);
    for (int r = 0; r < rows; ++r) {
        for (int c : {0, 1, 2, 3})
            EXPECT_EQ(Cell(array.Get(), r, c).vt, com::VT_BSTR) << r << "," << c;
        EXPECT_EQ(Cell(array.Get(), r, 5).vt, com::VT_I4) << r;
    }
    const int locked = RowOf(array.Get(), u"Locked");
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), locked, 5)), 1);
    EXPECT_EQ(Cell(array.Get(), locked, 4).vt, com::VT_BOOL);
    EXPECT_EQ(Cell(array.Get(), locked, 6).vt, com::VT_BOOL);
    EXPECT_EQ(Cell(array.Get(), 0, 6).vt, com::VT_BSTR);
    EXPECT_EQ(Cell(array.Get(), RowOf(array.Get(), u"MinDataLen"), 6).vt, com::VT_I4);
}

// Every column the row names is read: a table without the default column fails with the value
// array's error before any row is applied.
TEST(ParamTable, ReadBackReadsEveryNamedColumn) {
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    auto narrow = exchange::CreateValueArray();
    ASSERT_EQ(narrow->SetBounds(2, 6), com::S_OK);
    narrow->SetValue(1, 0, OleVariant(u"HookTimeOut"));
    narrow->SetValue(1, 3, OleVariant(u"Число"));
    narrow->SetValue(1, 4, OleVariant(u"70"));
    narrow->SetValue(1, 5, OleVariant(0));
    EXPECT_THROW(device->SetParamTable(OleVariant(static_cast<com::IDispatch*>(narrow.Get()))),
                 rtl::EOleSysError);
    EXPECT_EQ(device->GetParamStr("HookTimeOut"), "65");
}

TEST(ParamTable, MadeByTheDevicesEventSinkWhenItHasOne) {
    TArraySink sink;
    {
        TScannerLikeList list;
        auto* device = static_cast<TDeviceItem*>(list.Add());
        device->EventSink = ComPtr<IEventSupport2>(&sink);
        OleVariant table;
        EXPECT_EQ(device->GetParamTable(table), 0);
        EXPECT_EQ(sink.Made, 1);
        ComPtr<ISafeArray> array = TableOf(table);
        ASSERT_TRUE(array);
        std::int32_t rows = 0, columns = 0;
        array->GetBounds(&rows, &columns);
        EXPECT_EQ(rows, 8);
        device->EventSink = nullptr;
        OleVariant own;
        device->GetParamTable(own);
        EXPECT_EQ(sink.Made, 1); // without a sink the library makes its own
        EXPECT_TRUE(TableOf(own));
    }
    EXPECT_EQ(sink.Refs.load(), 0u);
}

TEST(ParamTable, TypeNamesAndLineBreaksAsTheHostSeesThem) {
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    device->Params().AddDefinition("Flag", "", "Flag", "boolean", false, "0", "");
    device->Params().AddDefinition("Ratio", "", "Ratio", "Float", false, "1", "");
    device->Params().AddDefinition("Mixed", "", "Mixed", "STRING", false, "", "");
    device->SetParamStr("HookPost", "first\r\nsecond");
    OleVariant table;
    device->GetParamTable(table);
    ComPtr<ISafeArray> array = TableOf(table);
    ASSERT_TRUE(array);
    EXPECT_EQ(Text(Cell(array.Get(), RowOf(array.Get(), u"Flag"), 3)), u"Boolean");
    EXPECT_EQ(Text(Cell(array.Get(), RowOf(array.Get(), u"Ratio"), 3)), u"");
    EXPECT_EQ(Text(Cell(array.Get(), RowOf(array.Get(), u"Mixed"), 3)), u"Строка");
    const int post = RowOf(array.Get(), u"HookPost");
    EXPECT_EQ(Text(Cell(array.Get(), post, 4)), u"first\r\nsecond");
    EXPECT_EQ(Text(Cell(array.Get(), RowOf(array.Get(), u"HookPref"), 2)), u"Префикс\r\nштрихкода");
}

TEST(ParamTable, ReadBackSetsValuesButNotTheIdentifier) {
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    const std::string identifier = device->Identifier();
    OleVariant table;
    device->GetParamTable(table);
    ComPtr<ISafeArray> array = TableOf(table);
    ASSERT_TRUE(array);
    array->SetValue(0, 4, OleVariant(u"Другое имя"));
    array->SetValue(3, 4, OleVariant(u"a\r\nb"));
    array->SetValue(5, 4, OleVariant(120));
    array->SetValue(6, 4, OleVariant(u"1"));
    EXPECT_EQ(device->SetParamTable(table), 0);
    EXPECT_EQ(device->Identifier(), identifier);
    EXPECT_EQ(device->FindParam("HookPref")->Value, "a\\nb");
    EXPECT_EQ(device->GetParamStr("HookPref"), "a\r\nb");
    EXPECT_EQ(device->GetParamInt("HookTimeOut"), 120);
    EXPECT_EQ(device->GetParamInt("UseInterCharInterval"), 1);
    EXPECT_EQ(device->SetParamTable(OleVariant(5)), 4); // no table: nothing read
}

TEST(ParamTable, ReadBackStopsAtTheFirstRowThatIsNoNumber) {
    // The messages checked here are the Russian ones.
    test::ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    TScannerLikeList list;
    auto* device = static_cast<TDeviceItem*>(list.Add());
    OleVariant table;
    device->GetParamTable(table);
    ComPtr<ISafeArray> array = TableOf(table);
    ASSERT_TRUE(array);
    array->SetValue(3, 4, OleVariant(u"applied"));
    array->SetValue(5, 4, OleVariant(u"много"));
    array->SetValue(7, 4, OleVariant(u"9"));
    try {
        device->SetParamTable(table);
        FAIL() << "no failure";
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20029);
        EXPECT_EQ(e.Message(), Ansi(u"Неверный тип свойства [Время ожидания]"));
    }
    EXPECT_EQ(device->GetParamStr("HookPref"), "applied"); // the rows before it
    EXPECT_EQ(device->GetParamStr("HookTimeOut"), "65");   // not this one
    EXPECT_EQ(device->GetParamStr("MinDataLen"), "4");     // nor the rows after it

    // The number check reads numbers as the process writes them, with its decimal separator only.
    const char saved = kernel::ProcessFormatSettings().DecimalSeparator;
    struct Row {
        char Separator;
        const char16_t* Value;
        bool Number;
    };
    for (const Row& row :
         {Row{',', u"1,5", true}, Row{',', u"1.5", false}, Row{',', u"12", true},
          Row{',', u"-2,5E3", true}, Row{'.', u"1.5", true}, Row{'.', u"1,5", false}}) {
        kernel::ProcessFormatSettings().DecimalSeparator = row.Separator;
        array->SetValue(5, 4, OleVariant(row.Value));
        array->SetValue(5, 5, OleVariant(0));
        int code = 0;
        std::string message;
        try {
            device->SetParamTable(table);
        } catch (const infra::ECodedException& e) {
            code = e.Code;
            message = e.Message();
        }
        const std::string what = std::string(1, row.Separator) + " " + Ansi(row.Value);
        EXPECT_EQ(code, row.Number ? 0 : 20029) << what;
        if (!row.Number)
            EXPECT_EQ(message, Ansi(u"Неверный тип свойства [Время ожидания]")) << what;
    }
    kernel::ProcessFormatSettings().DecimalSeparator = saved;

    // A read-only row is not checked, and its value is taken as it is.
    array->SetValue(5, 4, OleVariant(u"много"));
    array->SetValue(5, 5, OleVariant(1));
    EXPECT_EQ(device->SetParamTable(table), 0);
    EXPECT_EQ(device->GetParamStr("HookTimeOut"), Ansi(u"много"));
    EXPECT_EQ(device->GetParamStr("MinDataLen"), "9");
}
