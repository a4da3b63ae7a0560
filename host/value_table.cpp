#include "host/value_table.h"

#include <new>

namespace quill::host {

HRESULT STDMETHODCALLTYPE TValueTable::QueryInterface(com::REFIID iid, void** object) {
    if (!object) return com::E_POINTER;
    if (iid == IUnknown::Guid || iid == IDispatch::Guid || iid == ISafeArray::Guid) {
        *object = static_cast<ISafeArray*>(this);
        AddRef();
        return com::S_OK;
    }
    *object = nullptr;
    return com::E_NOINTERFACE;
}

com::ULONG STDMETHODCALLTYPE TValueTable::Release() {
    const com::ULONG left = --FRefCount;
    if (left == 0) delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE TValueTable::GetTypeInfoCount(com::UINT* count) {
    if (!count) return com::E_POINTER;
    *count = 0;
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::GetTypeInfo(com::UINT, com::LCID, com::ITypeInfo**) {
    return com::E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TValueTable::GetIDsOfNames(com::REFIID, com::OLECHAR**, com::UINT,
                                                     com::LCID, com::DISPID*) {
    return com::E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TValueTable::Invoke(com::DISPID, com::REFIID, com::LCID, com::WORD,
                                              com::DISPPARAMS*, VARIANT*, com::EXCEPINFO*,
                                              com::UINT*) {
    return com::E_NOTIMPL;
}

std::ptrdiff_t TValueTable::At(std::int32_t row, std::int32_t column) const {
    if (row < 0 || column < 0 || row >= FRows || column >= FColumns) return -1;
    return static_cast<std::ptrdiff_t>(row) * FColumns + column;
}

HRESULT STDMETHODCALLTYPE TValueTable::SetBounds(std::int32_t rows, std::int32_t columns) {
    if (rows < 0 || columns < 0) return com::E_INVALIDARG;
    try {
        std::vector<com::OleVariant> cells(static_cast<std::size_t>(rows) *
                                           static_cast<std::size_t>(columns));
        FCells.swap(cells);
    } catch (const std::bad_alloc&) {
        return com::E_OUTOFMEMORY;
    } catch (...) {
        return com::E_FAIL;
    }
    FRows = rows;
    FColumns = columns;
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::SetValue(std::int32_t row, std::int32_t column,
                                                VARIANT value) {
    const std::ptrdiff_t at = At(row, column);
    if (at < 0) return com::DISP_E_BADINDEX;
    try {
        FCells[static_cast<std::size_t>(at)] = com::OleVariant(value);
    } catch (...) {
        return com::E_OUTOFMEMORY;
    }
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::GetValue(std::int32_t row, std::int32_t column,
                                                VARIANT* value) {
    if (!value) return com::E_POINTER;
    const std::ptrdiff_t at = At(row, column);
    if (at < 0) return com::DISP_E_BADINDEX;
    try {
        *value = com::OleVariant(FCells[static_cast<std::size_t>(at)]).Detach();
    } catch (...) {
        return com::E_OUTOFMEMORY;
    }
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::ElementType(std::int32_t* type) {
    if (!type) return com::E_POINTER;
    *type = com::VT_VARIANT;
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::Empty(std::int32_t* empty) {
    if (!empty) return com::E_POINTER;
    *empty = FCells.empty() ? 1 : 0;
    return com::S_OK;
}

HRESULT STDMETHODCALLTYPE TValueTable::GetBounds(std::int32_t* rows, std::int32_t* columns) {
    if (!rows || !columns) return com::E_POINTER;
    *rows = FRows;
    *columns = FColumns;
    return com::S_OK;
}

} // namespace quill::host
