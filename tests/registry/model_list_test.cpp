// Models and property lists: registration, loading models from settings, the type rule, the
// parameter description documents and the host's model interface.
#include "registry/models/model_list_owner.h"
#include "registry/models/model_plu_list.h"

#include "exchange/xml/settings_xml.h"
#include "infra/codes/coded_exception.h"
#include "infra/codes/message_table.h"
#include "infra/root/guid_text.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"

#include <gtest/gtest.h>

namespace quill::registry {
namespace {

using com::OleVariant;
using kernel::AnsiToWide;
using kernel::WideToAnsi;

// Records what the model interface forwards to the device list.
class TFakeOwner : public TModelListOwner {
  public:
    void GetDllInterface(IDllObject** object) override {
        ++Calls;
        *object = nullptr;
    }
    void AddOrFindDevice(const com::VARIANT&, IDeviceItem**) override { ++Calls; }
    void FindDevice(const com::VARIANT&, IDeviceItem**) override { ++Calls; }
    void InsertDevice(const com::VARIANT&, IDeviceItem**) override { ++Calls; }
    std::int32_t CloseDevice(const com::GUID& id) override { return id == com::GUID_NULL ? 0 : -1; }
    void SetSettingsText(std::u16string_view text) override { SettingsText = text; }
    void SetDriverInfo(const TDriverInfo& info) override { DriverName = info.Name; }
    const std::shared_ptr<std::recursive_mutex>& UseLock() const override { return Lock; }

    int Calls = 0;
    std::u16string SettingsText = u"(none)";
    std::u16string DriverName;
    std::shared_ptr<std::recursive_mutex> Lock = std::make_shared<std::recursive_mutex>();
};

void RegisterScanner(TModelPluList& list, const TDriverInfo* info = nullptr) {
    list.RegisterBaseModel(ScannerModelGuid, u"Сканер штрихкодов клавиатурный", 1, 1, 1, 1, 0, u"",
                           u"СканерКлавиатурный", u"Сканер",
                           u"Сканер штрихкодов / считыватель карт", info);
}

const std::u16string kOther = u"{11111111-2222-3333-4444-555555555555}";

std::u16string ModelElement(std::u16string_view code, std::u16string_view identifier,
                            std::u16string_view library, std::u16string_view parameters = u"") {
    return u"<Модель Код=\"" + std::u16string(code) + u"\" Наименование=\"Имя " +
           std::u16string(identifier) + u"\" Идентификатор=\"" + std::u16string(identifier) +
           u"\" Библиотека=\"" + std::u16string(library) + u"\" ИспользуетOrvix=\"1\"><Параметры>" +
           std::u16string(parameters) + u"</Параметры></Модель>";
}

std::u16string Settings(std::u16string_view models) {
    return u"<Система><КлассыОборудования><КлассОборудования>" + std::u16string(models) +
           u"</КлассОборудования></КлассыОборудования></Система>";
}

std::u16string CodedMessage(const std::function<void()>& body) {
    try {
        body();
    } catch (const rtl::Exception& e) {
        return AnsiToWide(e.Message());
    }
    return u"(nothing raised)";
}

TEST(ModelPluList, StartsWithOneEmptyModelThatTheBaseRegistrationFills) {
    TFakeOwner owner;
    TModelPluList list(&owner);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->Id(), com::GUID_NULL);
    EXPECT_EQ(list.CurrentIndex(), 0);

    TDriverInfo info;
    info.Name = u"Quill";
    RegisterScanner(list, &info);
    ASSERT_EQ(list.Count(), 1);
    const TModelPluItem* base = list.Items(0);
    EXPECT_EQ(base->Id(), ScannerModelGuid);
    EXPECT_EQ(base->InstancePrefix, u"Сканер штрихкодов клавиатурный №");
    EXPECT_EQ(base->Identifier, u"СканерКлавиатурный");
    EXPECT_EQ(base->Number4, 1);
    EXPECT_EQ(owner.DriverName, u"Quill");

    EXPECT_EQ(CodedMessage([&] { list.SelectModel(1); }), u"Недопустимый индекс модели");
    EXPECT_EQ(CodedMessage([&] { list.SelectModel(-1); }), u"Недопустимый индекс модели");
    EXPECT_EQ(list.CurrentIndex(), 0);
}

TEST(ModelPluList, RegisterModelCopiesTheBaseNumbersAndNeverChangesTheBase) {
    TModelPluList list(nullptr);
    RegisterScanner(list);
    const com::GUID other = infra::GuidFromText(kOther);
    EXPECT_TRUE(list.RegisterModel(other, u"Другая", 5, u"Д №", u"Д"));
    ASSERT_EQ(list.Count(), 2);
    const TModelPluItem* m = list.Items(1);
    EXPECT_EQ(m->Number1, 1);
    EXPECT_EQ(m->EquipmentClassName, u"Сканер штрихкодов / считыватель карт");
    EXPECT_EQ(m->UsesPlatform, 5);
    EXPECT_EQ(list.CurrentIndex(), 1);
    EXPECT_FALSE(list.RegisterModel(ScannerModelGuid, u"Чужое имя", 9, u"x", u"x"));
    EXPECT_EQ(list.Items(0)->Name, u"Сканер штрихкодов клавиатурный");
    EXPECT_EQ(list.CurrentIndex(), 0);

    list.Items(1)->Detach();
    list.Items(0)->Detach();
    EXPECT_EQ(CodedMessage([&] { list.RegisterModel(other, u"", 0, u"", u""); }),
              u"Не зарегистрирована базовая модель");
}

TEST(ModelPluList, LoadModelsReadsThisLibrarysModelsWithTheirParameters) {
    TModelPluList list(nullptr);
    list.SetLibraryFileName(u"Quill.plu");
    RegisterScanner(list);
    const std::u16string longText(300, u'д');
    const std::u16string text = Settings(
        ModelElement(
            kOther, u"M1", u"Quill.plu",
            u"<Параметр Идентификатор=\"Префикс\" Наименование=\"Префикс данных\" Тип=\"String\" "
            u"ЗначениеПоУмолчанию=\"~\" ФлагТолькоЧтение=\"1\" Описание=\"" +
                longText +
                u"\"/>"
                u"<Параметр Идентификатор=\"Флаг\" Тип=\"Boolean\" ФлагТолько4тение=\"-1\"/>") +
        ModelElement(infra::GuidToText(ScannerModelGuid), u"Base", u"Quill.plu",
                     u"<Параметр Идентификатор=\"Лишний\"/>") +
        ModelElement(u"", u"Other", u"Other.plu") + ModelElement(u"", u"Case", u"quill.plu"));
    list.LoadModels(OleVariant(text));

    ASSERT_EQ(list.Count(), 2);
    // The base model's copy in the settings changes nothing, but becomes current.
    EXPECT_EQ(list.CurrentIndex(), 0);
    EXPECT_EQ(list.Items(0)->Properties().Count(), 0);
    EXPECT_EQ(list.Items(0)->Identifier, u"СканерКлавиатурный");

    const TModelPluItem* m = list.Items(1);
    EXPECT_EQ(m->Id(), infra::GuidFromText(kOther));
    EXPECT_EQ(m->Name, u"Имя M1");
    EXPECT_EQ(m->InstancePrefix, u"M1 №");
    EXPECT_EQ(m->UsesPlatform, 1);
    ASSERT_EQ(m->Properties().Count(), 2);
    const TPropItem* p = m->Properties().PropertyAt(0);
    EXPECT_EQ(p->Identifier, WideToAnsi(u"Префикс"));
    EXPECT_EQ(p->DefaultValue, "~"); // read after the digit-4 rule
    EXPECT_EQ(p->Value, "~");
    EXPECT_TRUE(p->ReadOnly);
    EXPECT_EQ(p->Description, WideToAnsi(longText.substr(0, 255)));
    EXPECT_FALSE(m->Properties().PropertyAt(1)->ReadOnly); // only exactly "1" is read-only
}

TEST(ModelPluList, ReloadUpdatesInPlaceAndEmptyCodesShareOneModel) {
    TModelPluList list(nullptr);
    list.SetLibraryFileName(u"Quill.plu");
    RegisterScanner(list);
    list.LoadModels(OleVariant(
        Settings(ModelElement(kOther, u"M1", u"Quill.plu",
                              u"<Параметр Идентификатор=\"A\" Зна4ениеПоУмол4анию=\"1\"/><Параметр "
                              u"Идентификатор=\"B\"/>"))));
    list.LoadModels(OleVariant(
        Settings(ModelElement(kOther, u"M1new", u"Quill.plu",
                              u"<Параметр Идентификатор=\"b\" Зна4ениеПоУмол4анию=\"2\"/>"))));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1)->Identifier, u"M1new");
    ASSERT_EQ(list.Items(1)->Properties().Count(), 2);
    EXPECT_EQ(list.Items(1)->Properties().PropertyAt(1)->DefaultValue, "2"); // B kept its place

    list.LoadModels(OleVariant(
        Settings(ModelElement(u"", u"E1", u"Quill.plu") + ModelElement(u"", u"E2", u"Quill.plu"))));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(2)->Id(), com::GUID_NULL);
    EXPECT_EQ(list.Items(2)->Identifier, u"E2");
    EXPECT_EQ(list.CurrentIndex(), 2);
}

TEST(ModelPluList, ABadCodeStopsTheLoadAfterTheModelsBeforeIt) {
    TModelPluList list(nullptr);
    list.SetLibraryFileName(u"Quill.plu");
    RegisterScanner(list);
    const std::u16string text = Settings(ModelElement(kOther, u"ok", u"Quill.plu") +
                                         ModelElement(u"{bad}", u"bad", u"Quill.plu") +
                                         ModelElement(u"", u"after", u"Quill.plu"));
    EXPECT_EQ(CodedMessage([&] { list.LoadModels(OleVariant(text)); }),
              u"Значение не является идентификатором объекта.");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1)->Identifier, u"ok");
}

TEST(ModelPluList, LoadModelsTakesDocumentsAndRefusesOtherKinds) {
    TModelPluList list(nullptr);
    list.SetLibraryFileName(u"Quill.plu");
    RegisterScanner(list);
    list.LoadModels(OleVariant());
    EXPECT_EQ(list.Count(), 1);
    std::u16string text = Settings(ModelElement(kOther, u"M1", u"Quill.plu"));
    const OleVariant document = xml::NodeToVariant(exchange::LoadSettingsDocument(text, true));
    list.LoadModels(document);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.LoadModels(OleVariant(5)), xml::EXmlError);
    EXPECT_THROW(list.LoadModels(OleVariant(u"<Система>")), xml::EXmlParseError);
    EXPECT_THROW(list.LoadModels(OleVariant(u"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>")),
                 xml::EXmlParseError);
}

TPropItem& Typed(TPropList& list, std::string_view type, std::string_view value,
                 std::string_view def) {
    TPropItem* item = list.AddItem();
    item->TypeName = type;
    item->Value = value;
    item->DefaultValue = def;
    return *item;
}

TEST(PropItem, TypeRuleFallsBackToTheDefaultThenZero) {
    TPropList list;
    EXPECT_EQ(Typed(list, "Integer", "abc", "7").ValueAsVariant().lVal, 7);
    EXPECT_EQ(Typed(list, "integer", "abc", "x").ValueAsVariant().lVal, 0);
    EXPECT_EQ(Typed(list, "Integer", "12", "x").ValueAsVariant().vt, com::VT_I4);
    const char saved = kernel::ProcessFormatSettings().DecimalSeparator;
    for (char separator : {'.', ','}) {
        kernel::ProcessFormatSettings().DecimalSeparator = separator;
        EXPECT_DOUBLE_EQ(Typed(list, WideToAnsi(u"Число"), "1.5", "").ValueAsVariant().dblVal, 1.5);
        EXPECT_DOUBLE_EQ(Typed(list, "Double", "2,25", "").ValueAsVariant().dblVal, 2.25);
        EXPECT_DOUBLE_EQ(Typed(list, "DOUBLE", "?", "3").ValueAsVariant().dblVal, 3.0);
    }
    kernel::ProcessFormatSettings().DecimalSeparator = saved;
    EXPECT_EQ(Typed(list, "Boolean", "TRUE", "").ValueAsVariant().boolVal, com::VARIANT_TRUE);
    EXPECT_EQ(Typed(list, "Boolean", "1", "True").ValueAsVariant().boolVal, com::VARIANT_FALSE);
    EXPECT_EQ(Typed(list, "Boolean", "1", "True").DefaultAsVariant().boolVal, com::VARIANT_TRUE);
    const OleVariant text = Typed(list, "String", "a\\nb", "").ValueAsVariant();
    ASSERT_EQ(text.vt, com::VT_BSTR);
    EXPECT_EQ(com::TextFromBStr(text.bstrVal), u"a\r\nb");
}

struct TRecord {
    std::string NameRu, NameEn, Caption, TypeName;
    bool ReadOnly;
    std::string DefaultValue, Description;
};

TEST(PropList, FindsByIdentifierOrAliasAndSetsValuesByName) {
    TPropList list;
    list.AddFromRecord(
        TRecord{WideToAnsi(u"Префикс"), "Prefix", "Caption", "String", false, "~", "d"});
    list.AddFromRecord(TRecord{WideToAnsi(u"Таймаут"), "", "T", "Integer", true, "50", ""});
    EXPECT_EQ(list.FindByIdentifier("PREFIX"), list.PropertyAt(0));
    EXPECT_EQ(list.FindByIdentifier(WideToAnsi(u"ПРЕФИКС")), list.PropertyAt(0));
    EXPECT_EQ(list.FindByIdentifier(""), nullptr); // an unset alias names nothing
    EXPECT_EQ(list.PropertyAt(1)->Value, "50");
    // A second registration under the alias overwrites in place.
    list.AddFromRecord(TRecord{"prefix", "", "C2", "String", false, "#", ""});
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.PropertyAt(0)->Identifier, "prefix");

    const std::string lines[] = {"prefix=@", "New=1", "no equals sign", WideToAnsi(u"Таймаут=7=8")};
    list.SetValues(lines);
    EXPECT_EQ(list.ValueByName("PREFIX"), "@");
    EXPECT_EQ(list.ValueByName("new"), "1");
    EXPECT_EQ(list.ValueByName(WideToAnsi(u"таймаут")), "7=8");
    EXPECT_EQ(list.ValueByName("missing"), "");
    EXPECT_EQ(list.Count(), 3);

    TPropItem copy(nullptr);
    list.PropertyAt(0)->Value = "changed";
    copy.Assign(*list.PropertyAt(0));
    EXPECT_EQ(copy.Value, "#");
    EXPECT_EQ(copy.Name, "C2");
}

TModelPluItem& ModelWithParameters(TModelPluList& list) {
    TPropList& p = list.CurrentProperties();
    p.AddDefinition("Int", "", "Integer param", "Integer", true, "5", "line1\r\nline2");
    p.AddDefinition("Dbl", "", "Double param", "Double", false, "1,5", "");
    p.AddDefinition("Str", "", "Text", "String", false, "a&b", "");
    return *list.Current();
}

TEST(ModelPluItem, ParameterDescriptionsAsTextAndDocument) {
    TModelPluList list(nullptr);
    RegisterScanner(list);
    TModelPluItem& model = ModelWithParameters(list);
    EXPECT_EQ(model.ParametersText(), u"<Параметры>"
                                      u"<Параметр Идентификатор=\"Int\" Наименование=\"Integer "
                                      u"param\" Тип=\"Число\" ФлагТолько4тение=\"1\" "
                                      u"Зна4ениеПоУмол4анию=\"5\" Описание=\"line1\\nline2\"/>"
                                      u"<Параметр Идентификатор=\"Dbl\" Наименование=\"Double "
                                      u"param\" Тип=\"\" ФлагТолько4тение=\"0\" "
                                      u"Зна4ениеПоУмол4анию=\"1,5\" Описание=\"\"/>"
                                      u"<Параметр Идентификатор=\"Str\" Наименование=\"Text\" "
                                      u"Тип=\"Строка\" ФлагТолько4тение=\"0\" "
                                      u"Зна4ениеПоУмол4анию=\"a&amp;b\" Описание=\"\"/>"
                                      u"</Параметры>\r\n");
    const std::u16string document = model.ModelDocument()->Xml();
    EXPECT_EQ(document.substr(0, 52),
              u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Модель><Па");
    EXPECT_NE(
        document.find(
            u"<Модель><Параметры><Параметр Идентификатор=\"Int\" Наименование=\"Integer param\" "
            u"Тип=\"Число\" ФлагТолько4тение=\"1\" Зна4ениеПоУмол4анию=\"5\" "
            u"Описание=\"line1\\nline2\"/>"),
        std::u16string::npos)
        << WideToAnsi(document);
}

TEST(ModelPluItem, AnswersTheHostThroughIPluModel2) {
    TFakeOwner owner;
    auto list = std::make_unique<TModelPluList>(&owner);
    RegisterScanner(*list);
    ModelWithParameters(*list);
    IPluModel* model = nullptr;
    ASSERT_EQ(list->Items(0)->QueryInterface(IID_IPluModel2, reinterpret_cast<void**>(&model)),
              com::S_OK);
    com::ComPtr<IPluModel> held = com::ComPtr<IPluModel>::Adopt(model);

    com::GUID id{};
    EXPECT_EQ(held->GetId(&id), com::S_OK);
    EXPECT_EQ(id, ScannerModelGuid);
    com::BStr name;
    EXPECT_EQ(held->GetEquipmentClassName(name.ReleaseAndGetAddressOf()), com::S_OK);
    EXPECT_EQ(name.Text(), u"Сканер штрихкодов / считыватель карт");
    std::int32_t number = 0;
    EXPECT_EQ(held->GetReservedNumber(&number), com::S_OK);
    EXPECT_EQ(number, -1);
    IUnknown* reserved = reinterpret_cast<IUnknown*>(&number);
    EXPECT_EQ(held->GetReservedInterface(0, &reserved), com::S_OK);
    EXPECT_EQ(reserved, nullptr);
    EXPECT_EQ(held->GetNumber1(nullptr), com::E_POINTER);
    com::BStr parameters;
    EXPECT_EQ(held->GetParametersText(parameters.ReleaseAndGetAddressOf()), com::S_OK);
    EXPECT_EQ(parameters.Text().substr(0, 11), u"<Параметры>");
    OleVariant document;
    ASSERT_EQ(held->GetModelDocument(&document), com::S_OK);
    ASSERT_TRUE(xml::NodeFromVariant(document));

    // Settings reach the device list as text, from a text or a document; other kinds are ignored.
    OleVariant text(u"<Система/>");
    EXPECT_EQ(held->SetSettings(&text), com::S_OK);
    EXPECT_EQ(owner.SettingsText, u"<Система/>");
    EXPECT_EQ(held->SetSettings(&document), com::S_OK);
    EXPECT_EQ(owner.SettingsText.substr(0, 5), u"<?xml");
    OleVariant number5(5);
    owner.SettingsText = u"kept";
    EXPECT_EQ(held->SetSettings(&number5), com::S_OK);
    EXPECT_EQ(owner.SettingsText, u"kept");
    std::int32_t removed = 7;
    EXPECT_EQ(held->RemoveDevice(&com::GUID_NULL, &removed), com::S_OK);
    EXPECT_EQ(removed, 0);
    IDeviceItem* device = nullptr;
    EXPECT_EQ(held->CreateDevice(&text, &device), com::S_OK);
    EXPECT_EQ(owner.Calls, 1);

    // A model whose list is gone (or that never had an owner) cannot reach devices.
    list.reset();
    EXPECT_EQ(held->GetName(name.ReleaseAndGetAddressOf()), com::S_OK);
    EXPECT_EQ(name.Text(), u"Сканер штрихкодов клавиатурный");
    EXPECT_TRUE(com::FAILED(held->AddDevice(&text, &device)));
    EXPECT_EQ(com::TakeErrorDescription(), infra::ErrorText(infra::codes::NoDriverObject));
    IDllObject* dll = nullptr;
    EXPECT_TRUE(com::FAILED(held->GetDllInterface(&dll)));
    EXPECT_EQ(dll, nullptr);
}

} // namespace
} // namespace quill::registry
