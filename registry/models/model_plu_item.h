// TModelPluItem: one equipment model of the driver, as the host sees it through IPluModel and
// IPluModel2 (one method table under two identifiers).
//
// The model carries its identity (GUID, name, identifier, equipment class and its name), four
// numbers the host reads, the uses-platform flag, the prefix of its device identifiers, and its
// parameter descriptions (owned). It is an item of a TModelPluList and a reference-counted
// interface object at once (TCollectionItemInterface): a reference the host holds keeps it alive
// after it has left the list.
//
// Interface operations never throw: failures become failure results with the message as error
// description. Requests for the driver object and for devices go to the list's owner (the device
// list); without one they fail with the coded error 20058. The GUID changes only through the list,
// which keeps its lookup index in step.
//
// Threads: a host may call the interface from any thread. Each operation takes the lock of the
// owner the model was made under (model_list_owner.h), the one that also guards the device list
// and the keyboard capture, so a model and the devices it reaches never change under another
// thread. A model made without an owner has no lock and is single-threaded but for AddRef and
// Release.
#pragma once

#include "infra/root/collection_item_interface.h"
#include "platform/xml/dom.h"
#include "quill/host.h"
#include "registry/models/prop_list.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace quill::registry {

class TModelPluList;
class TModelListOwner;

class TModelPluItem : public infra::TCollectionItemInterface, public IPluModel {
  public:
    explicit TModelPluItem(rtl::TCollection* collection);
    ~TModelPluItem() override;
    std::string_view ClassName() const override;

    QUILL_FORWARD_IUNKNOWN(infra::TCollectionItemInterface)

    const com::GUID& Id() const { return FId; }
    TPropList& Properties() const { return *FProperties; }
    // The list this model belongs to, nil once it has left it.
    TModelPluList* List() const;

    // The parameter description as an XML text: <Параметры> with one <Параметр> per parameter.
    std::u16string ParametersText() const;
    // The parameter description as a document: <Модель><Параметры><Параметр .../>...
    xml::XmlDocument ModelDocument() const;

    std::u16string Name;
    std::int32_t Number1 = 0;
    std::int32_t Number2 = 0;
    std::int32_t Number3 = 0;
    std::int32_t Number4 = 0;
    std::int32_t UsesPlatform = 0;
    std::u16string InstancePrefix;
    std::u16string Identifier;
    std::u16string EquipmentClass;
    std::u16string EquipmentClassName;

    // IPluModel / IPluModel2
    HRESULT STDMETHODCALLTYPE GetId(GUID* id) override;
    HRESULT STDMETHODCALLTYPE GetIdentifier(BSTR* identifier) override;
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetEquipmentClass(BSTR* equipmentClass) override;
    HRESULT STDMETHODCALLTYPE GetEquipmentClassName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetNumber1(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetNumber2(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetNumber3(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetNumber4(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetUsesPlatform(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetParametersText(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE GetReservedNumber(std::int32_t* value) override;
    HRESULT STDMETHODCALLTYPE GetReservedInterface(std::int32_t ignored,
                                                   IUnknown** object) override;
    HRESULT STDMETHODCALLTYPE NoOp1() override;
    HRESULT STDMETHODCALLTYPE NoOp2() override;
    HRESULT STDMETHODCALLTYPE GetDllInterface(IDllObject** object) override;
    HRESULT STDMETHODCALLTYPE GetModelDocument(VARIANT* document) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(const VARIANT* settings, IDeviceItem** device) override;
    HRESULT STDMETHODCALLTYPE RemoveDevice(const GUID* id, std::int32_t* result) override;
    HRESULT STDMETHODCALLTYPE SetSettings(const VARIANT* settings) override;
    HRESULT STDMETHODCALLTYPE FindDevice(const VARIANT* settings, IDeviceItem** device) override;
    HRESULT STDMETHODCALLTYPE AddDevice(const VARIANT* settings, IDeviceItem** device) override;

  protected:
    void* GetInterface(com::REFIID iid) override;

  private:
    friend class TModelPluList;
    // The owner that device requests go to; raises 20058 when there is none.
    TModelListOwner& RequireOwner() const;

    com::GUID FId = com::GUID_NULL;
    std::unique_ptr<TPropList> FProperties;
    // Where the list last saw this item: makes finding its position cheap.
    mutable int FPositionHint = -1;
    // The owner's lock, taken when the model was made (nil without an owner).
    std::shared_ptr<std::recursive_mutex> FUseLock;
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Use() const {
        return FUseLock ? std::unique_lock(*FUseLock) : std::unique_lock<std::recursive_mutex>();
    }
};

// Reads the late-bound text property "XML" of a dispatch object (as the host's documents offer it).
std::u16string ReadXmlProperty(com::IDispatch* object);

} // namespace quill::registry
