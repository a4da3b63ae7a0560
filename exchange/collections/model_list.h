// TModelItem and TModelList: the equipment models of a settings document, each with its own
// parameter list, loaded from the equipment-class section and narrowed by a filter.
//
// Model text fields compare ignoring case; their changes are recorded under the settings names
// ("Идентификатор", "ИдентификаторКласса", "Наименование", "Библиотека", "ВерсияPLU" for both the
// version and the release, "ИспользуетOrvix"), keyed by the model's GUID text and described as
// "name, library". The load selects the class path with the class predicate and the model
// predicate (filter.h), and every "Модель" of the document when nothing matches and there is no
// condition at all. A "Код" that is no GUID aborts the load with "Значение не является
// идентификатором объекта."; models before it stay loaded. Threads and ownership as in
// base_list.h.
#pragma once

#include "exchange/collections/base_list.h"
#include "exchange/collections/parameter_list.h"
#include "platform/com/com_types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quill::exchange {

class TModelItem : public TBaseItem {
  public:
    explicit TModelItem(rtl::TCollection* collection);
    std::string_view ClassName() const override;

    std::int32_t UseOrvix() const { return FUseOrvix; }
    const std::u16string& Identifier() const { return FIdentifier; }
    const std::u16string& ClassIdentifier() const { return FClassIdentifier; }
    const std::u16string& Library() const { return FLibrary; }
    const std::u16string& Name() const { return FName; }
    const std::u16string& PluVersion() const { return FPluVersion; }
    std::int32_t Release() const { return FRelease; }
    const com::GUID& Guid() const { return FGuid; }
    TParameterList& Parameters() const { return *ChildList(); }

    void SetUseOrvix(std::int32_t value) { SetInteger(FUseOrvix, value, u"ИспользуетOrvix"); }
    void SetIdentifier(std::u16string_view value) {
        SetText(FIdentifier, value, u"Идентификатор", true);
    }
    void SetClassIdentifier(std::u16string_view value) {
        SetText(FClassIdentifier, value, u"ИдентификаторКласса", true);
    }
    void SetLibrary(std::u16string_view value) { SetText(FLibrary, value, u"Библиотека", true); }
    void SetName(std::u16string_view value) { SetText(FName, value, u"Наименование", true); }
    void SetPluVersion(std::u16string_view value) {
        SetText(FPluVersion, value, u"ВерсияPLU", true);
    }
    void SetRelease(std::int32_t value) { SetInteger(FRelease, value, u"ВерсияPLU"); }
    void SetGuid(const com::GUID& value) { FGuid = value; }

    // Reads the model's parameters from its element (defaults as values).
    void LoadChildren() override;

    std::u16string ChangeKey() const override;
    std::u16string ChangeDescription() const override;

  private:
    std::int32_t FUseOrvix = 0;
    std::u16string FIdentifier;
    std::u16string FClassIdentifier;
    std::u16string FLibrary;
    std::u16string FName;
    std::u16string FPluVersion;
    std::int32_t FRelease = 0;
    com::GUID FGuid = com::GUID_NULL;
};

class TModelList : public TBaseList {
  public:
    explicit TModelList(const com::VARIANT& source);
    TModelList(TBaseList* parentList, const com::VARIANT& source);
    std::string_view ClassName() const override;

    TModelItem* Items(int index) const { return static_cast<TModelItem*>(TBaseList::Items(index)); }
    // The last item with this GUID (a deleted one only while deleted items are included); it is
    // made to belong to this list. Nil when there is none.
    TModelItem* FindByGuid(const com::GUID& guid);
    void Load() override;
};

// A model list on `source` narrowed by the six conditions (attributes 100, 101, 118, 122, 103,
// 115 in that order; empty or "*" means no condition), loaded, with every modified flag cleared
// and the filter emptied.
std::unique_ptr<TModelList> CreateModelList(const com::VARIANT& source, std::u16string_view code,
                                            std::u16string_view identifier,
                                            std::u16string_view library,
                                            std::u16string_view classIdentifier,
                                            std::u16string_view name, std::u16string_view state);

} // namespace quill::exchange
