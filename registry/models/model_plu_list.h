// TModelPluList: the models this driver serves, the base model first, then the models that the
// host's settings describe for this library.
//
// The list is never empty after construction and item 0 is the base model. Registration finds a
// model by GUID (the first item, in index order, with that GUID or with the null GUID) or adds one;
// LoadModels reads every "Модель" element whose "Библиотека" names this library's file and
// registers it with its parameters; a model already in the list is updated in place and nothing is
// ever removed. Lookups by GUID use an index, so loading n models takes time linear in n.
//
// The list belongs to its owner (the device list, see model_list_owner.h), which may be nil; it
// owns its items, which are reference-counted interface objects (model_plu_item.h). Not
// thread-safe. Errors: the coded error 20000 for a bad model index and for a registration on an
// empty list; "Значение не является идентификатором объекта." for a "Код" that is no GUID
// (models before it stay loaded); DOM errors pass on unchanged.
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/collection.h"
#include "registry/models/driver_info.h"
#include "registry/models/model_plu_item.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill::registry {

class TModelListOwner;

class TModelPluList : public rtl::TCollection {
  public:
    // One empty model (null GUID) is added and made current.
    explicit TModelPluList(TModelListOwner* owner);
    ~TModelPluList() override;
    std::string_view ClassName() const override;

    TModelListOwner* Owner() const { return FOwner; }
    TModelPluItem* Items(int index) const {
        return static_cast<TModelPluItem*>(rtl::TCollection::Items(index));
    }
    // The first model whose GUID is `id` or the null GUID, or nil.
    TModelPluItem* FindModel(const com::GUID& id) const;
    // Makes model `index` current; coded error 20000 "Недопустимый индекс модели" out of range.
    void SelectModel(int index);
    // -1 while there is no current model.
    int CurrentIndex() const;
    TModelPluItem* Current() const { return FCurrent; }
    TPropList& CurrentProperties() const;

    void RegisterBaseModel(const com::GUID& id, std::u16string_view name, std::int32_t number1,
                           std::int32_t number2, std::int32_t number3, std::int32_t number4,
                           std::int32_t usesPlatform, std::u16string_view instancePrefix,
                           std::u16string_view identifier, std::u16string_view equipmentClass,
                           std::u16string_view equipmentClassName, const TDriverInfo* driverInfo);
    // False (and nothing changed) when the model found is the base model.
    bool RegisterModel(const com::GUID& id, std::u16string_view name, std::int32_t usesPlatform,
                       std::u16string_view instancePrefix, std::u16string_view identifier);
    // `settings`: empty (nothing happens), an XML text, or an XML document or node.
    void LoadModels(const com::VARIANT& settings);

    // The file name (without folder) whose models LoadModels reads; this library's own by default.
    const std::u16string& LibraryFileName() const { return FLibraryFileName; }
    void SetLibraryFileName(std::u16string_view name) { FLibraryFileName = name; }

  protected:
    void Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) override;

  private:
    struct TGuidHash {
        std::size_t operator()(const com::GUID& g) const noexcept;
    };

    TModelPluItem* AddModel();
    void SetModelId(TModelPluItem* item, const com::GUID& id);
    int PositionOf(const TModelPluItem* item) const;
    void Unindex(rtl::TCollectionItem* item);
    // Indexes the items that joined since the last lookup (they join before they are whole).
    void IndexPending() const;

    TModelListOwner* FOwner;
    TModelPluItem* FCurrent = nullptr;
    std::u16string FLibraryFileName;
    // The items by GUID, for FindModel, and those not indexed yet.
    mutable std::unordered_map<com::GUID, std::vector<TModelPluItem*>, TGuidHash> FById;
    mutable std::vector<rtl::TCollectionItem*> FPending;
};

} // namespace quill::registry
