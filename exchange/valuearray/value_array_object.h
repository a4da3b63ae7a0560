// TSafeArray: the value array, an automation object that holds a two-dimensional table of
// variants and offers it through ISafeArray and through late-bound calls by name.
//
// Cells are addressed (x, y): x the row (dimension 1), y the column (dimension 2), both from 0.
// RowCount and ColCount, not the array's bounds, decide which cells are addressable; SetBounds
// always leaves at least one element per dimension. The table can be saved to and loaded from a
// compressed, checksummed storage file holding the value-stream encoding of the table, and a
// table of bytes can be saved to and loaded from a plain file.
//
// An adopted array (SetPSA, SetPSAOfType, a loaded file) must have two dimensions; the object owns
// it from then on and keeps its real element type, so that the cells are always read as what they
// are. Every interface operation returns a failure HRESULT with the message in the thread's error
// information instead of throwing, and a failed operation leaves the table unchanged. Late-bound
// calls report failures through the dispatcher of TBaseAutoObject. The object takes no locks: one
// thread at a time.
#pragma once

#include "exchange/autoobject/base_auto_object.h"
#include "quill/host.h"

#include <cstdint>
#include <string>

namespace quill::exchange {

class TSafeArray : public TBaseAutoObject, public ISafeArray {
  public:
    // Answered only by TSafeArray itself (with the object's own address), so that the library can
    // recognise the value arrays it made and take their tables without copying them.
    static constexpr com::GUID ImplementationGuid =
        com::MakeGuid("5B0E7C2D-91A4-4F36-8D15-3C7A2E9B6F48");

    TSafeArray();
    ~TSafeArray() override;
    std::string_view ClassName() const override { return "TSafeArray"; }

    // ISafeArray (and its IUnknown and IDispatch, answered by the base object)
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return TBaseAutoObject::AddRef(); }
    com::ULONG STDMETHODCALLTYPE Release() override { return TBaseAutoObject::Release(); }
    com::HRESULT STDMETHODCALLTYPE GetTypeInfoCount(com::UINT* count) override;
    com::HRESULT STDMETHODCALLTYPE GetTypeInfo(com::UINT index, com::LCID locale,
                                               com::ITypeInfo** info) override;
    com::HRESULT STDMETHODCALLTYPE STDMETHODCALLTYPE GetIDsOfNames(com::REFIID iid,
                                                                   com::OLECHAR** names,
                                                                   com::UINT count,
                                                                   com::LCID locale,
                                                                   com::DISPID* ids) override;
    com::HRESULT STDMETHODCALLTYPE STDMETHODCALLTYPE Invoke(
        com::DISPID id, com::REFIID iid, com::LCID locale, com::WORD flags, com::DISPPARAMS* params,
        com::VARIANT* result, com::EXCEPINFO* exception, com::UINT* argumentError) override;
    com::HRESULT STDMETHODCALLTYPE SetBounds(std::int32_t rows, std::int32_t columns) override;
    com::HRESULT STDMETHODCALLTYPE SetValue(std::int32_t row, std::int32_t column,
                                            com::VARIANT value) override;
    com::HRESULT STDMETHODCALLTYPE GetPSA(com::SAFEARRAY** array) override;
    com::HRESULT STDMETHODCALLTYPE ElementType(std::int32_t* type) override;
    com::HRESULT STDMETHODCALLTYPE Empty(std::int32_t* empty) override;
    com::HRESULT STDMETHODCALLTYPE SetPSA(com::SAFEARRAY* array) override;
    com::HRESULT STDMETHODCALLTYPE SetPSAOfType(com::SAFEARRAY* array,
                                                std::int32_t elementType) override;
    com::HRESULT STDMETHODCALLTYPE GetBounds(std::int32_t* rows, std::int32_t* columns) override;
    com::HRESULT STDMETHODCALLTYPE SaveToFile(BSTR fileName, std::int16_t* ok) override;
    com::HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR fileName, std::int16_t* ok) override;
    com::HRESULT STDMETHODCALLTYPE LoadFromFileAsStream(BSTR fileName, std::int16_t* ok) override;
    com::HRESULT STDMETHODCALLTYPE SaveToFileAsStream(BSTR fileName, std::int16_t* ok) override;
    com::HRESULT STDMETHODCALLTYPE GetValue(std::int32_t row, std::int32_t column,
                                            com::VARIANT* value) override;

    // The operations behind the interface; they raise their failures.
    void DoSetBounds(std::int32_t x, std::int32_t y);
    com::OleVariant DoGetValue(std::int32_t x, std::int32_t y) const;
    void DoSetValue(std::int32_t x, std::int32_t y, const com::VARIANT& value);
    bool IsEmpty() const { return RowCount <= 0 || ColCount <= 0; }
    com::SAFEARRAY* PSA() const { return FTable.parray; }
    com::VARTYPE TableElementType() const;
    // Takes `array` (two-dimensional) as the table; raises and leaves it the caller's otherwise.
    void Adopt(com::SAFEARRAY* array);
    // Hands the table over to the caller and leaves a new empty table behind.
    com::SAFEARRAY* DetachTable();
    // `fileName` is a UTF-8 path. The load operations return false for a missing file.
    void DoSaveToFile(const std::string& fileName) const;
    bool DoLoadFromFile(const std::string& fileName);
    bool DoSaveToFileAsStream(const std::string& fileName) const;
    bool DoLoadFromFileAsStream(const std::string& fileName);

    std::int32_t RowCount = 0;
    std::int32_t ColCount = 0;

  protected:
    void RegisterNames() override;
    bool UseNameTable() const override { return true; }
    bool QueryOwnInterface(com::REFIID iid, void** object) override;

  private:
    void ReplaceTable(com::SAFEARRAY* array, std::int32_t rows, std::int32_t columns);

    com::OleVariant FTable;
};

} // namespace quill::exchange
