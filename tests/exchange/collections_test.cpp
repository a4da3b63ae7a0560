// Parameter and model collections: filtered loads with case-insensitive conditions, the fields
// read, modified propagation, change recording and the deleted state.
#include "exchange/collections/filter.h"
#include "exchange/collections/model_list.h"
#include "exchange/collections/parameter_list.h"
#include "exchange/xml/settings_xml.h"

#include "infra/codes/coded_exception.h"
#include "infra/root/guid_text.h"
#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

namespace quill::exchange {
namespace {

using com::OleVariant;

const std::u16string kGuidA = u"{11111111-2222-3333-4444-555555555555}";
const std::u16string kGuidB = u"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

// Two classes; models of this library in upper and lower case, of another library, deleted and
// without state.
const std::u16string kSettings =
    u"<Система><КлассыОборудования>"
    u"<КлассОборудования Идентификатор=\"Сканер\">"
    u"<Модель Код=\"" +
    kGuidA +
    u"\" Идентификатор=\"M1\" Наименование=\"Первая\" Библиотека=\"QUILL.PLU\" "
    u"ИспользуетOrvix=\"1\" Версия=\"3\" Состояние=\"0\" ВерсияPLU=\"1.0.1\" Релиз=\"7\">"
    u"<Параметры><Параметр Идентификатор=\"Префикс\" Наименование=\"Префикс данных\" "
    u"Тип=\"String\" "
    u"Зна4ениеПоУмол4анию=\"~\" Зна4ение=\"#\" Описание=\"h\" ФлагТолько4тение=\"1\"/>"
    u"<Параметр Идентификатор=\"Таймаут\" Тип=\"Integer\" Зна4ениеПоУмол4анию=\"50\" "
    u"ФлагТолько4тение=\"x\"/>"
    u"</Параметры></Модель>"
    u"<Модель Код=\"" +
    kGuidB +
    u"\" Идентификатор=\"M2\" Библиотека=\"quill.plu\" Состояние=\"1\">"
    u"<Параметры><Параметр Идентификатор=\"P\"/></Параметры></Модель>"
    u"<Модель Код=\"\" Идентификатор=\"M3\" Библиотека=\"Quill.plu\"/>"
    u"<Модель Идентификатор=\"Other\" Библиотека=\"Other.plu\"/>"
    u"</КлассОборудования>"
    u"<КлассОборудования Идентификатор=\"Весы\">"
    u"<Модель Идентификатор=\"W1\" Библиотека=\"quill.plu\"/>"
    u"</КлассОборудования>"
    u"</КлассыОборудования></Система>";

std::vector<std::u16string> Identifiers(const TModelList& list) {
    std::vector<std::u16string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Items(i)->Identifier());
    return out;
}

using Ids = std::vector<std::u16string>;

TEST(ModelList, LibraryConditionIgnoresCaseAndStateZeroDropsDeleted) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"", u"quill.PLU", u"", u"", u"0");
    EXPECT_EQ(Identifiers(*list), (Ids{u"M1", u"M3", u"W1"}));
    EXPECT_FALSE(list->IsModified());
    EXPECT_TRUE(list->Filter().empty());
    EXPECT_EQ(list->CurrentItem(), list->Items(0));

    // Any other state value keeps what is not in state 0, models without a state included.
    auto notActive = CreateModelList(OleVariant(kSettings), u"", u"", u"quill.plu", u"", u"", u"1");
    EXPECT_EQ(Identifiers(*notActive), (Ids{u"M2", u"M3", u"W1"}));
}

TEST(ModelList, FieldsAndParametersAreRead) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"m1", u"", u"", u"", u"");
    ASSERT_EQ(list->Count(), 1);
    const TModelItem* m = list->Items(0);
    EXPECT_EQ(m->Guid(), infra::GuidFromText(kGuidA));
    EXPECT_EQ(m->Name(), u"Первая");
    EXPECT_EQ(m->Library(), u"QUILL.PLU");
    EXPECT_EQ(m->ClassIdentifier(), u"Сканер");
    EXPECT_EQ(m->UseOrvix(), 1);
    EXPECT_EQ(m->Version(), 3);
    EXPECT_EQ(m->State(), 0);
    EXPECT_EQ(m->PluVersion(), u"1.0.1");
    EXPECT_EQ(m->Release(), 7);
    ASSERT_EQ(m->Parameters().Count(), 2);
    const TParameterItem* p = m->Parameters().Items(0);
    EXPECT_EQ(p->ParamName(), u"Префикс");
    EXPECT_EQ(p->ParamDescription(), u"Префикс данных");
    EXPECT_EQ(p->ParamType(), u"String");
    EXPECT_EQ(p->ParamDefault(), u"~");
    EXPECT_EQ(p->ParamValue(), u"~"); // a model's parameters take the default
    EXPECT_EQ(p->ParamHint(), u"h");
    EXPECT_EQ(p->ParamReadOnly(), 1);
    EXPECT_EQ(m->Parameters().Items(1)->ParamReadOnly(), 0); // "x" is no number
    EXPECT_EQ(m->Parameters().FindByName(u"тАЙМАУТ"), m->Parameters().Items(1));
    EXPECT_EQ(m->Parameters().FindByName(u"нет"), nullptr);
}

TEST(ModelList, ClassConditionAndDeletedModelsWithoutParameters) {
    auto scales = CreateModelList(OleVariant(kSettings), u"", u"", u"", u"ВЕСЫ", u"", u"");
    EXPECT_EQ(Identifiers(*scales), (Ids{u"W1"}));

    auto all = CreateModelList(OleVariant(kSettings), u"*", u"", u"", u"*", u"", u"");
    EXPECT_EQ(Identifiers(*all), (Ids{u"M1", u"M2", u"M3", u"Other", u"W1"}));
    EXPECT_EQ(all->Items(1)->State(), 1);
    EXPECT_EQ(all->Items(1)->Parameters().Count(), 0);
}

TEST(ModelList, WithoutConditionsEveryModelOfTheDocumentLoads) {
    const std::u16string loose =
        u"<Корень><Модель Идентификатор=\"a\"/><x><Модель Идентификатор=\"b\"/></x></Корень>";
    auto list = CreateModelList(OleVariant(loose), u"", u"", u"", u"", u"", u"");
    EXPECT_EQ(Identifiers(*list), (Ids{u"a", u"b"}));
    // A condition that matches nothing loads nothing.
    auto none = CreateModelList(OleVariant(loose), u"", u"a", u"", u"", u"", u"");
    EXPECT_EQ(none->Count(), 0);
}

TEST(ModelList, ABadCodeStopsTheLoadAfterTheModelsBeforeIt) {
    const std::u16string text = u"<Система><КлассыОборудования><КлассОборудования>"
                                u"<Модель Идентификатор=\"ok\" Код=\"" +
                                kGuidA +
                                u"\"/>"
                                u"<Модель Идентификатор=\"bad\" Код=\"не GUID\"/>"
                                u"<Модель Идентификатор=\"after\"/>"
                                u"</КлассОборудования></КлассыОборудования></Система>";
    TModelList list{OleVariant(text)};
    try {
        list.Load();
        FAIL() << "a bad code loaded";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(kernel::AnsiToWide(e.Message()),
                  u"Значение не является идентификатором объекта.");
    }
    EXPECT_EQ(Identifiers(list), (Ids{u"ok"}));
}

TEST(ModelList, MalformedSourceTextFailsWithTheParserError) {
    EXPECT_THROW(TModelList(OleVariant(u"<Система>")), xml::EXmlParseError);
    TModelList empty{OleVariant(u"")};
    empty.Load();
    EXPECT_EQ(empty.Count(), 0);
}

TEST(Filter, ValuesAreEscapedKeyedAndCheckedFirst) {
    TModelList list{OleVariant(u"<a/>")};
    const int numbers[] = {101, 122, 129, 115};
    const std::u16string values[] = {u"Q\"&A", u"Кл", u"*", u"0"};
    list.SetFilter(numbers, values);
    const TFilter expected{{u"101", u"Q&quot;&amp;A"}, {u"_101", u"Кл"}, {u"115", u"0"}};
    EXPECT_EQ(list.Filter(), expected);

    const TFilterPredicates p = BuildPredicates(list.Filter());
    const std::u16string upper =
        u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЫЪЬЭЮЯABCDEFGHIJKLMNOPQRSTUVWXYZЂЃЉЊЌЋЏЎЈҐЄЇІЅ";
    const std::u16string lower =
        u"абвгдеёжзийклмнопрстуфхцчшщыъьэюяabcdefghijklmnopqrstuvwxyzђѓљњќћџўјґєїіѕ";
    EXPECT_EQ(p.Model, u"[(translate(@Идентификатор,\"" + upper + u"\",\"" + lower +
                           u"\")=\"q&quot;&amp;a\") and "
                           u"(translate(@Состояние,\"" +
                           upper + u"\",\"" + lower + u"\")!=\"1\")]");
    EXPECT_EQ(p.Class,
              u"[(translate(@Идентификатор,\"" + upper + u"\",\"" + lower + u"\")=\"кл\")]");

    // An existing key keeps its place.
    const int again[] = {101};
    const std::u16string newValue[] = {u"x"};
    list.SetFilter(again, newValue);
    EXPECT_EQ(list.Filter().front(), (std::pair<std::u16string, std::u16string>{u"101", u"x"}));

    const int three[] = {100, 101, 103};
    const std::u16string two[] = {u"a", u"b"};
    try {
        list.SetFilter(three, two);
        FAIL();
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(kernel::AnsiToWide(e.Message()),
                  u"Размерности массивов аттрибутов и значений не совпадают");
    }
    const int bad[] = {100, 99};
    EXPECT_THROW(list.SetFilter(bad, two), infra::ECodedException);
    EXPECT_EQ(list.Filter().size(), 3u);
    EXPECT_EQ(FilterLowerCase(u"ЁЖИК Hedgehog"), u"ёжик hedgehog");
}

// The code page's letters beyond the Russian alphabet fold too, on both sides of the condition.
TEST(Filter, EveryCodePageLetterMatchesInEitherCase) {
    const std::u16string names[] = {u"Їжак", u"Єнот", u"Ґанок", u"Ўзор", u"Ђак", u"Љубав", u"Іней"};
    std::u16string text = u"<Система><КлассыОборудования><КлассОборудования Идентификатор=\"Ґ\">";
    for (const auto& name : names)
        text += u"<Модель Идентификатор=\"" + name + u"\"/>";
    text += u"</КлассОборудования></КлассыОборудования></Система>";
    for (const auto& name : names) {
        for (const auto& asked : {kernel::WideUpperCase(name), kernel::WideLowerCase(name)}) {
            auto list = CreateModelList(OleVariant(text), u"", asked, u"", u"ґ", u"", u"");
            ASSERT_EQ(list->Count(), 1) << kernel::WideToUtf8(asked);
            EXPECT_EQ(list->Items(0)->Identifier(), name);
        }
    }
    EXPECT_EQ(FilterLowerCase(u"ЇЄІЎҐЂЉ µ"), u"їєіўґђљ µ");
}

TEST(ModelList, ChangesKeepFirstOldAndLastNewValue) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"M1", u"", u"", u"", u"");
    TModelItem* m = list->Items(0);
    list->SetRecordChanges(true);
    m->SetName(u"Вторая");
    m->SetName(u"Третья");
    m->SetName(u"третья"); // same text ignoring case: no change
    m->SetRelease(9);
    ASSERT_EQ(list->Changes().Count(), 2);
    const TChangeItem* name = list->Changes().Items(0);
    EXPECT_EQ(name->FieldName, u"Наименование");
    EXPECT_EQ(name->OldValue, u"Первая");
    EXPECT_EQ(name->NewValue, u"Третья");
    EXPECT_EQ(name->ItemKey, kGuidA);
    EXPECT_EQ(name->ItemDescription, u"Первая, QUILL.PLU"); // as at the first change
    EXPECT_EQ(list->Changes().Items(1)->FieldName, u"ВерсияPLU");
    EXPECT_EQ(list->Changes().Items(1)->OldValue, u"7");
    EXPECT_EQ(list->Changes().Items(1)->NewValue, u"9");

    list->SetRecordChanges(false);
    m->SetIdentifier(u"other");
    EXPECT_EQ(list->Changes().Count(), 2);
}

TEST(ModelList, ModifiedFlagsPropagateToListsAndModels) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"", u"quill.plu", u"", u"", u"");
    int listChanges = 0;
    list->OnChange = [&](rtl::TObject* sender) {
        EXPECT_EQ(sender, list.get());
        ++listChanges;
    };
    TModelItem* m = list->Items(0);
    m->Parameters().Items(0)->SetParamValue(u"new");
    EXPECT_TRUE(m->ModifiedOrChildren());
    EXPECT_FALSE(m->Modified());
    EXPECT_TRUE(list->IsModified());
    list->SetModified(false);
    EXPECT_FALSE(list->IsModified());
    EXPECT_FALSE(m->Parameters().IsModified());

    m->SetLibrary(u"x");
    EXPECT_EQ(listChanges, 1);
    list->SetModified(false);
    listChanges = 0;
    list->Delete(3);
    list->Delete(2);
    EXPECT_EQ(listChanges, 1); // once, while it stays modified
    EXPECT_TRUE(list->IsModified());
    list->SetModified(false);
    EXPECT_EQ(listChanges, 2);
    EXPECT_FALSE(list->IsModified());
}

TEST(ModelList, DeletedStateEmptiesOrFreesTheItem) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"", u"quill.plu", u"", u"", u"");
    TModelItem* kept = list->Items(0);
    kept->SetState(1);
    EXPECT_EQ(kept->Parameters().Count(), 0);
    EXPECT_TRUE(kept->Modified());

    const int before = list->Count();
    TModelItem* current = static_cast<TModelItem*>(list->CurrentItem());
    ASSERT_EQ(current, kept);
    kept->SetVersion(-1);
    kept->SetState(0);
    kept->SetState(1); // frees the item: nothing may touch it afterwards
    EXPECT_EQ(list->Count(), before - 1);
    EXPECT_EQ(list->CurrentItem(), nullptr);
    EXPECT_TRUE(list->IsModified());
}

TEST(ModelList, FindByGuidSearchesFromTheEndAndSkipsDeletedOnRequest) {
    auto list = CreateModelList(OleVariant(kSettings), u"", u"", u"quill.plu", u"", u"", u"");
    const com::GUID b = infra::GuidFromText(kGuidB);
    ASSERT_NE(list->FindByGuid(b), nullptr);
    EXPECT_EQ(list->FindByGuid(b)->Identifier(), u"M2");
    list->SetIncludeDeleted(false);
    EXPECT_EQ(list->FindByGuid(b), nullptr);
    // The two models without a code share the null GUID; the later one is found.
    EXPECT_EQ(list->FindByGuid(com::GUID_NULL)->Identifier(), u"W1");
    EXPECT_EQ(list->FindByGuid(infra::GuidFromText(u"{00000000-0000-0000-0000-000000000001}")),
              nullptr);
}

TEST(ParameterList, LoadsStoredValuesUnderItsSourceUnmodified) {
    const std::u16string device =
        u"<Устройство><Параметры>"
        u"<Параметр Идентификатор=\"Префикс\" Зна4ениеПоУмол4анию=\"~\" Зна4ение=\"#\"/>"
        u"<Параметр Идентификатор=\"Суффикс\"/></Параметры></Устройство>";
    xml::XmlDocument doc = CreateXmlDocument();
    doc->LoadXml(device);
    TParameterList list{xml::NodeToVariant(doc->DocumentElement())};
    list.Load();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0)->ParamValue(), u"#");
    EXPECT_EQ(list.Items(0)->ParamDefault(), u"~");
    EXPECT_EQ(list.Items(1)->ParamValue(), u"");
    EXPECT_FALSE(list.IsModified());
    EXPECT_EQ(list.CurrentItem(), list.Items(0));
    list.Items(1)->SetParamValue(u"суффикс");
    EXPECT_TRUE(list.IsModified());
    list.Load(); // reloading is no deletion
    EXPECT_FALSE(list.IsModified());
    EXPECT_EQ(list.Count(), 2);
}

} // namespace
} // namespace quill::exchange
