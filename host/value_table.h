// TValueTable: the host's own value array, which its event sink makes when the plug-in asks for
// one (CreateValueArray) and which the plug-in fills, e.g. with a device's parameter table for
// GetProps. Every host supplies its own: the plug-in's value-array class is registered in the
// plug-in's copy of the run-time, which on Windows is not the host's.
//
// A two-dimensional table of variants reached through ISafeArray: SetBounds (which empties it),
// SetValue, GetValue, GetBounds, Empty and ElementType (VT_VARIANT). A cell outside the bounds is
// refused with DISP_E_BADINDEX, nothing written; negative bounds with E_INVALIDARG. The system
// array, file and late-bound members answer E_NOTIMPL: the plug-in asks none of them of a host's
// table. No exception leaves a member. Reference-counted; one thread at a time (the UI thread).
#pragma once

#include "quill/host.h"

#include <atomic>
#include <vector>

namespace quill::host {

class TValueTable final : public ISafeArray {
  public:
    TValueTable() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
    com::ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(com::UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(com::UINT, com::LCID, com::ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(com::REFIID, com::OLECHAR**, com::UINT, com::LCID,
                                            com::DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(com::DISPID, com::REFIID, com::LCID, com::WORD,
                                     com::DISPPARAMS*, VARIANT*, com::EXCEPINFO*,
                                     com::UINT*) override;

    HRESULT STDMETHODCALLTYPE SetBounds(std::int32_t rows, std::int32_t columns) override;
    HRESULT STDMETHODCALLTYPE SetValue(std::int32_t row, std::int32_t column,
                                       VARIANT value) override;
    HRESULT STDMETHODCALLTYPE GetPSA(SAFEARRAY**) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ElementType(std::int32_t* type) override;
    HRESULT STDMETHODCALLTYPE Empty(std::int32_t* empty) override;
    HRESULT STDMETHODCALLTYPE SetPSA(SAFEARRAY*) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPSAOfType(SAFEARRAY*, std::int32_t) override {
        return com::E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetBounds(std::int32_t* rows, std::int32_t* columns) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR, std::int16_t*) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR, std::int16_t*) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadFromFileAsStream(BSTR, std::int16_t*) override {
        return com::E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveToFileAsStream(BSTR, std::int16_t*) override {
        return com::E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetValue(std::int32_t row, std::int32_t column,
                                       VARIANT* value) override;

  private:
    ~TValueTable() = default;
    // The cell's index, or -1 outside the bounds.
    std::ptrdiff_t At(std::int32_t row, std::int32_t column) const;

    std::atomic<com::ULONG> FRefCount{1};
    std::int32_t FRows = 0;
    std::int32_t FColumns = 0;
    std::vector<com::OleVariant> FCells;
};

} // namespace quill::host
