// TParameterItem and TParameterList: the parameters of a model (or of a device) as the settings
// document describes them, each with name, type, default, value, hint and read-only flag.
//
// Field setters compare case-sensitively, record changes under the field's own name ("FParamValue")
// and mark the item modified (base_list.h). A list loads the "Параметр" elements under
// "./Параметры" of its source node, taking the stored value ("Зна4ение"); a model item loads its
// parameters under its own element, taking the default as value. Threads, ownership and errors as
// in base_list.h.
#pragma once

#include "exchange/collections/base_list.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::exchange {

class TModelItem;

class TParameterItem : public TBaseItem {
  public:
    explicit TParameterItem(rtl::TCollection* collection) : TBaseItem(collection) {}
    std::string_view ClassName() const override;

    std::int32_t ParamReadOnly() const { return FParamReadOnly; }
    const std::u16string& ParamType() const { return FParamType; }
    const std::u16string& ParamHint() const { return FParamHint; }
    const std::u16string& ParamName() const { return FParamName; }
    const std::u16string& ParamDefault() const { return FParamDefault; }
    const std::u16string& ParamDescription() const { return FParamDescription; }
    const std::u16string& ParamValue() const { return FParamValue; }

    void SetParamReadOnly(std::int32_t value) {
        SetInteger(FParamReadOnly, value, u"FParamReadOnly");
    }
    void SetParamType(std::u16string_view value) {
        SetText(FParamType, value, u"FParamType", false);
    }
    void SetParamHint(std::u16string_view value) {
        SetText(FParamHint, value, u"FParamHint", false);
    }
    void SetParamName(std::u16string_view value) {
        SetText(FParamName, value, u"FParamName", false);
    }
    void SetParamDefault(std::u16string_view value) {
        SetText(FParamDefault, value, u"FParamDefault", false);
    }
    void SetParamDescription(std::u16string_view value) {
        SetText(FParamDescription, value, u"FParamDescription", false);
    }
    void SetParamValue(std::u16string_view value) {
        SetText(FParamValue, value, u"FParamValue", false);
    }

    // Reads one "Параметр" element; `storedValue` takes "Зна4ение" as value, else the default.
    void LoadFromElement(const xml::XmlNode& element, bool storedValue);

  private:
    std::int32_t FParamReadOnly = 0;
    std::u16string FParamType;
    std::u16string FParamHint;
    std::u16string FParamName;
    std::u16string FParamDefault;
    std::u16string FParamDescription;
    std::u16string FParamValue;
};

class TParameterList : public TBaseList {
  public:
    explicit TParameterList(const com::VARIANT& source);
    TParameterList(TBaseList* parentList, const com::VARIANT& source);
    std::string_view ClassName() const override;

    TParameterItem* Items(int index) const {
        return static_cast<TParameterItem*>(TBaseList::Items(index));
    }
    TModelItem* OwnerModel() const { return FOwnerModel; }
    void SetOwnerModel(TModelItem* model) { FOwnerModel = model; }

    // The first parameter whose name equals `name` ignoring case, or nil.
    TParameterItem* FindByName(std::u16string_view name) const;
    // Empties the list and reads the parameters under `element` (nothing when the owning model is
    // deleted); `storedValue` as in TParameterItem::LoadFromElement.
    void LoadParameters(const xml::XmlNode& element, bool storedValue);
    // Loads under its own source with stored values; every loaded item ends unmodified.
    void Load() override;

  private:
    TModelItem* FOwnerModel = nullptr;
};

} // namespace quill::exchange
