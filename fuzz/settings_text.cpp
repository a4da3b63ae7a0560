// Fuzzes the path a settings text takes from the host: the digit-4 rule, parsing, LoadModels and
// CreateModelList, then the parameter documents of every model loaded, which must parse again.
//
// The input is UTF-8; its first line (up to a line feed) is also used as a filter value, so that
// the predicate building sees quotes, ampersands and letters of every kind. Errors that the code
// reports as errors (rtl::Exception and its kinds: parse errors, bad codes, bad numbers) are
// expected; anything else, and any memory fault, is a finding.
#include "exchange/collections/model_list.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "platform/kernel/codepage.h"
#include "quill/host.h"
#include "registry/models/model_plu_list.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace quill;

void LoadAsDevice(std::u16string text) {
    try {
        exchange::XmlNode root = exchange::LoadSettingsText(text, true);
        if (root) exchange::SelectNodesByNumber(root, exchange::node::AnyDevice);
    } catch (const rtl::Exception&) {
    }
}

void LoadModels(const std::u16string& text) {
    registry::TModelPluList list(nullptr);
    list.SetLibraryFileName(u"Quill.plu");
    list.RegisterBaseModel(ScannerModelGuid, u"Сканер штрихкодов клавиатурный", 1, 1, 1, 1, 0, u"",
                           u"СканерКлавиатурный", u"Сканер",
                           u"Сканер штрихкодов / считыватель карт", nullptr);
    try {
        list.LoadModels(com::OleVariant(text));
    } catch (const rtl::Exception&) {
    }
    // Whatever was loaded describes itself in documents that parse again.
    for (int i = 0; i < list.Count(); ++i) {
        const registry::TModelPluItem* model = list.Items(i);
        exchange::XmlDocument again = exchange::CreateXmlDocument();
        again->LoadXml(model->ParametersText());
        again->LoadXml(model->ModelDocument()->Xml());
        for (int k = 0; k < model->Properties().Count(); ++k) {
            model->Properties().PropertyAt(k)->ValueAsVariant();
            model->Properties().PropertyAt(k)->DefaultAsVariant();
        }
    }
}

void CreateModelList(const std::u16string& text, const std::u16string& filterValue) {
    try {
        auto all = exchange::CreateModelList(com::OleVariant(text), u"", u"", u"Quill.plu", u"",
                                             u"", u"0");
        auto narrowed = exchange::CreateModelList(com::OleVariant(text), filterValue, filterValue,
                                                  u"", filterValue, filterValue, filterValue);
        for (int i = 0; i < narrowed->Count(); ++i)
            narrowed->Items(i)->Parameters().FindByName(filterValue);
    } catch (const rtl::Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = kernel::Utf8ToWide(bytes);
    const std::u16string filterValue = text.substr(0, text.find(u'\n'));

    std::u16string normalised = text;
    exchange::NormaliseSettingsText(normalised);
    LoadAsDevice(text);
    LoadModels(text);
    CreateModelList(text, filterValue);
    return 0;
}
