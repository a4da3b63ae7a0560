#include "exchange/valuearray/value_array_object.h"

#include "exchange/autoobject/late_bound_call.h"
#include "exchange/stream/atomic_file.h"
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/storage_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "platform/com/com_safearray.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file_error.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"
#include "platform/rtl/safecall.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace quill::exchange {

using namespace com;

namespace {

struct ArrayDeleter {
    void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); }
};
using ArrayHolder = std::unique_ptr<SAFEARRAY, ArrayDeleter>;

const std::string& ReadBoundsText() {
    static const std::string text =
        kernel::WideToAnsi(u"Номер элемента массива за пределами границ.");
    return text;
}
const std::string& WriteBoundsText() {
    static const std::string text = kernel::WideToAnsi(
        u"Номер элемента массива за пределами границ. X:%d Y:%d CountX:%d CountY:%d\r\n%s");
    return text;
}
const std::string& TypeErrorText() {
    static const std::string text = kernel::WideToAnsi(u"Ошибка типа параметра. ");
    return text;
}
const std::string& NotTableText() {
    static const std::string text = kernel::WideToAnsi(u"Файл не является хранилищем ISafeArray");
    return text;
}
const std::string& NotTwoDimensionalText() {
    static const std::string text = kernel::WideToAnsi(u"Массив значений должен быть двумерным.");
    return text;
}
const std::string& FileTooLargeText() {
    static const std::string text = kernel::WideToAnsi(u"Файл слишком велик.");
    return text;
}

SAFEARRAY* NewTable(VARTYPE vt, ULONG rows, LONG rowLow, ULONG columns, LONG columnLow) {
    const SAFEARRAYBOUND bounds[2] = {{rows, rowLow}, {columns, columnLow}};
    SAFEARRAY* array = SafeArrayCreate(vt, 2, bounds);
    if (!array) throw std::bad_alloc();
    return array;
}

// A copy of the cell at `indices` as a variant; false when the array has no such element.
bool ReadCell(const SAFEARRAY* array, VARTYPE vt, const LONG* indices, OleVariant& cell) {
    void* p = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(array, indices, &p)) || !p) return false;
    switch (vt) {
    case VT_VARIANT:
        cell = OleVariant(*static_cast<const VARIANT*>(p));
        return true;
    case VT_BSTR:
        cell = OleVariant(std::u16string_view(TextFromBStr(*static_cast<BSTR*>(p))));
        return true;
    case VT_DISPATCH:
        cell = OleVariant(*static_cast<IDispatch**>(p));
        return true;
    case VT_UNKNOWN:
        cell = OleVariant(*static_cast<IUnknown**>(p));
        return true;
    default: {
        VARIANT raw;
        std::memset(static_cast<void*>(&raw), 0, sizeof raw);
        raw.vt = vt;
        std::memcpy(&raw.llVal, p, std::min<std::size_t>(VarTypeSize(vt), sizeof raw.llVal));
        cell = OleVariant::Adopt(raw);
        return true;
    }
    }
}

void CheckOut(const void* p) {
    if (!p) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
}

std::string PathOf(BSTR fileName) {
    return kernel::WideToUtf8(TextFromBStr(fileName));
}

std::string PathOf(const OleVariant& fileName) {
    return kernel::WideToUtf8(rtl::VarToWide(fileName));
}

} // namespace

TSafeArray::TSafeArray() {
    FTable = OleVariant::FromArray(NewTable(VT_VARIANT, 1, 0, 1, 0), VT_VARIANT);
}

TSafeArray::~TSafeArray() = default;

// ---- Interface plumbing ----

HRESULT STDMETHODCALLTYPE TSafeArray::QueryInterface(REFIID iid, void** object) {
    return TBaseAutoObject::QueryInterface(iid, object);
}

bool TSafeArray::QueryOwnInterface(REFIID iid, void** object) {
    if (iid == ImplementationGuid) {
        *object = this;
        return true;
    }
    if (iid != ISafeArray::Guid) return false;
    *object = static_cast<ISafeArray*>(this);
    return true;
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetTypeInfoCount(UINT* count) {
    return TBaseAutoObject::GetTypeInfoCount(count);
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
    return TBaseAutoObject::GetTypeInfo(index, locale, info);
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetIDsOfNames(REFIID iid, OLECHAR** names, UINT count,
                                                    LCID locale, DISPID* ids) {
    return TBaseAutoObject::GetIDsOfNames(iid, names, count, locale, ids);
}

HRESULT STDMETHODCALLTYPE TSafeArray::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) {
    return TBaseAutoObject::Invoke(id, iid, locale, flags, params, result, exception,
                                   argumentError);
}

// ---- The table ----

VARTYPE TSafeArray::TableElementType() const {
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(FTable.parray, &vt);
    return vt;
}

void TSafeArray::ReplaceTable(SAFEARRAY* array, std::int32_t rows, std::int32_t columns) {
    VARTYPE vt = VT_VARIANT;
    SafeArrayGetVartype(array, &vt);
    FTable = OleVariant::FromArray(array, vt);
    RowCount = rows;
    ColCount = columns;
}

void TSafeArray::DoSetBounds(std::int32_t x, std::int32_t y) {
    if (x < 0 || y < 0 || (x == RowCount && y == ColCount)) return;
    ArrayHolder table(NewTable(VT_VARIANT, static_cast<ULONG>(std::max(x, 1)), 0,
                               static_cast<ULONG>(std::max(y, 1)), 0));
    const VARTYPE vt = TableElementType();
    const std::int32_t rows = std::min(x, RowCount);
    const std::int32_t columns = std::min(y, ColCount);
    for (std::int32_t i = 0; i < rows; ++i) {
        for (std::int32_t j = 0; j < columns; ++j) {
            const LONG at[2] = {i, j};
            OleVariant cell;
            if (!ReadCell(FTable.parray, vt, at, cell)) continue;
            void* slot = nullptr;
            SafeArrayPtrOfIndex(table.get(), at, &slot);
            VARIANT raw = cell.Detach();
            std::memcpy(slot, &raw, sizeof raw);
        }
    }
    ReplaceTable(table.release(), x, y);
}

OleVariant TSafeArray::DoGetValue(std::int32_t x, std::int32_t y) const {
    if (x < 0 || x >= RowCount || y < 0 || y >= ColCount) throw rtl::Exception(ReadBoundsText());
    const LONG at[2] = {x, y};
    OleVariant cell;
    if (!ReadCell(FTable.parray, TableElementType(), at, cell))
        throw rtl::Exception(ReadBoundsText());
    return cell;
}

void TSafeArray::DoSetValue(std::int32_t x, std::int32_t y, const VARIANT& value) {
    const LONG at[2] = {x, y};
    void* slot = nullptr;
    if (x < 0 || x >= RowCount || y < 0 || y >= ColCount ||
        FAILED(SafeArrayPtrOfIndex(FTable.parray, at, &slot)) || !slot)
        throw rtl::Exception(
            rtl::Format(WriteBoundsText(), {x, y, RowCount, ColCount,
                                            kernel::WideToAnsi(ValueRepresentation(value))}));

    OleVariant stored;
    if (!(value.vt & VT_BYREF)) {
        stored = OleVariant(value);
    } else {
        const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
        if (!value.byref) throw rtl::Exception(TypeErrorText() + std::to_string(base));
        switch (base) {
        case VT_I4:
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
            VariantCopyInd(&stored, &value);
            break;
        case VT_VARIANT:
            VariantCopyInd(&stored, value.pvarVal);
            break;
        default:
            throw rtl::Exception(TypeErrorText() + std::to_string(base));
        }
    }

    const VARTYPE vt = TableElementType();
    if (vt == VT_VARIANT) {
        VariantClear(static_cast<VARIANT*>(slot));
        VARIANT raw = stored.Detach();
        std::memcpy(slot, &raw, sizeof raw);
        return;
    }
    // A table of another element type keeps its type: the value is converted into it.
    OleVariant converted;
    if (FAILED(VariantChangeType(&converted, &stored, 0, vt)))
        throw rtl::Exception(TypeErrorText() + std::to_string(stored.vt));
    if (FAILED(SafeArrayPutElement(FTable.parray, at,
                                   (vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN)
                                       ? converted.byref
                                       : static_cast<void*>(&converted.llVal))))
        throw rtl::Exception(TypeErrorText() + std::to_string(stored.vt));
}

void TSafeArray::Adopt(SAFEARRAY* array) {
    VARTYPE vt = VT_EMPTY;
    if (SafeArrayGetDim(array) != 2 || FAILED(SafeArrayGetVartype(array, &vt)))
        throw rtl::Exception(NotTwoDimensionalText());
    const LONGLONG rows = static_cast<LONGLONG>(SafeArrayBound(array, 1).lLbound) +
                          SafeArrayBound(array, 1).cElements;
    const LONGLONG columns = static_cast<LONGLONG>(SafeArrayBound(array, 2).lLbound) +
                             SafeArrayBound(array, 2).cElements;
    constexpr LONGLONG limit = std::numeric_limits<std::int32_t>::max();
    if (rows > limit || columns > limit) throw rtl::Exception(NotTwoDimensionalText());
    ReplaceTable(array, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(columns));
}

SAFEARRAY* TSafeArray::DetachTable() {
    OleVariant fresh = OleVariant::FromArray(NewTable(VT_VARIANT, 1, 0, 1, 0), VT_VARIANT);
    SAFEARRAY* table = FTable.parray;
    FTable.vt = VT_EMPTY; // the table now belongs to the caller
    FTable.parray = nullptr;
    FTable = std::move(fresh);
    RowCount = 0;
    ColCount = 0;
    return table;
}

// ---- Files ----

void TSafeArray::DoSaveToFile(const std::string& fileName) const {
    TMyMemoryStream stream;
    WriteArray(stream, FTable.parray, TableElementType());
    const std::string image =
        BuildStorageImage(stream.Memory, static_cast<std::size_t>(stream.Size), LocalDateTimeNow());
    ReplaceFileContents(fileName, {{image.data(), image.size()}});
}

bool TSafeArray::DoLoadFromFile(const std::string& fileName) {
    if (!FileExists(fileName)) return false;
    std::string image;
    // No storage file is larger than its header and the longest value stream (the compressed data
    // never exceeds the stream's own length): a larger file is refused before it is read.
    constexpr std::size_t kLargestStorage =
        StorageHeaderSize + static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    try {
        if (!ReadWholeFile(fileName, image, kLargestStorage)) return false;
    } catch (const rtl::EOleSysError& e) {
        // Too large to be a storage file: the first check of a load, made before the read.
        if (e.ErrorCode() ==
            kernel::HResultFromFileError(kernel::TFileError::Of(kernel::TFileError::TooLarge)))
            RaiseStorageSizeError();
        throw;
    }
    TMyMemoryStream stream;
    OpenStorageImage(image, stream);
    image.clear();
    const OleVariant decoded = ReadValue(stream);
    if (!IsValueArray(decoded)) throw rtl::Exception(NotTableText());

    // A value array of our own gives up its table; any other hands over a copy of its array,
    // fetched by its late-bound name.
    void* own = nullptr;
    if (SUCCEEDED(decoded.pdispVal->QueryInterface(ImplementationGuid, &own)) && own) {
        // Held so that a failure while detaching still gives back the reference just taken.
        const auto table = ComPtr<TSafeArray>::Adopt(static_cast<TSafeArray*>(own));
        ArrayHolder taken(table->DetachTable());
        Adopt(taken.get());
        taken.release();
        return true;
    }
    const OleVariant address = CallByName(decoded.pdispVal, u"__PSA");
    OleVariant pointer;
    if (FAILED(VariantChangeType(&pointer, &address, 0, VT_I8)) || pointer.llVal == 0)
        throw rtl::Exception(NotTableText());
    SAFEARRAY* copy = nullptr;
    const HRESULT copied = SafeArrayCopy(
        reinterpret_cast<SAFEARRAY*>(static_cast<std::intptr_t>(pointer.llVal)), &copy);
    if (FAILED(copied)) throw rtl::EOleSysError("Out of memory", copied);
    ArrayHolder holder(copy);
    Adopt(copy);
    holder.release();
    return true;
}

bool TSafeArray::DoSaveToFileAsStream(const std::string& fileName) const {
    const VARTYPE vt = TableElementType();
    if ((vt & 0x11) != 0x11) return false;
    const SAFEARRAY* array = FTable.parray;
    const std::size_t count = static_cast<std::size_t>(SafeArrayBound(array, 1).cElements) *
                              SafeArrayBound(array, 2).cElements;
    ReplaceFileContents(fileName, {{array->pvData, count}});
    return true;
}

bool TSafeArray::DoLoadFromFileAsStream(const std::string& fileName) {
    if (!FileExists(fileName)) return false;
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes,
                       static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())))
        return false;
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw rtl::Exception(FileTooLargeText());
    ArrayHolder table(NewTable(VT_UI1, 1, 0, static_cast<ULONG>(bytes.size()), 0));
    if (!bytes.empty()) std::memcpy(table->pvData, bytes.data(), bytes.size());
    ReplaceTable(table.release(), 1, static_cast<std::int32_t>(bytes.size()));
    return true;
}

// ---- ISafeArray ----

HRESULT STDMETHODCALLTYPE TSafeArray::SetBounds(std::int32_t rows, std::int32_t columns) {
    return rtl::SafeCall([&] { DoSetBounds(rows, columns); });
}

HRESULT STDMETHODCALLTYPE TSafeArray::SetValue(std::int32_t row, std::int32_t column,
                                               VARIANT value) {
    return rtl::SafeCall([&] { DoSetValue(row, column, value); });
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetPSA(SAFEARRAY** array) {
    return rtl::SafeCall([&] {
        CheckOut(array);
        *array = FTable.parray;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::ElementType(std::int32_t* type) {
    return rtl::SafeCall([&] {
        CheckOut(type);
        *type = TableElementType();
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::Empty(std::int32_t* empty) {
    return rtl::SafeCall([&] {
        CheckOut(empty);
        *empty = IsEmpty() ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::SetPSA(SAFEARRAY* array) {
    return rtl::SafeCall([&] {
        if (array) Adopt(array);
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::SetPSAOfType(SAFEARRAY* array, std::int32_t) {
    // The array's own element type is kept whatever the label says: a wrong label would make
    // every cell read as something it is not.
    return rtl::SafeCall([&] {
        if (array) Adopt(array);
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetBounds(std::int32_t* rows, std::int32_t* columns) {
    return rtl::SafeCall([&] {
        CheckOut(rows);
        CheckOut(columns);
        *rows = RowCount;
        *columns = ColCount;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::SaveToFile(BSTR fileName, std::int16_t* ok) {
    if (ok) *ok = VARIANT_FALSE;
    return rtl::SafeCall([&] {
        DoSaveToFile(PathOf(fileName));
        if (ok) *ok = VARIANT_TRUE;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::LoadFromFile(BSTR fileName, std::int16_t* ok) {
    if (ok) *ok = VARIANT_FALSE;
    return rtl::SafeCall([&] {
        const bool loaded = DoLoadFromFile(PathOf(fileName));
        if (ok) *ok = loaded ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::LoadFromFileAsStream(BSTR fileName, std::int16_t* ok) {
    if (ok) *ok = VARIANT_FALSE;
    return rtl::SafeCall([&] {
        const bool loaded = DoLoadFromFileAsStream(PathOf(fileName));
        if (ok) *ok = loaded ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::SaveToFileAsStream(BSTR fileName, std::int16_t* ok) {
    if (ok) *ok = VARIANT_FALSE;
    return rtl::SafeCall([&] {
        const bool saved = DoSaveToFileAsStream(PathOf(fileName));
        if (ok) *ok = saved ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE TSafeArray::GetValue(std::int32_t row, std::int32_t column,
                                               VARIANT* value) {
    return rtl::SafeCall([&] {
        CheckOut(value);
        OleVariant cell = DoGetValue(row, column);
        *value = cell.Detach();
    });
}

// ---- Late-bound names ----

void TSafeArray::RegisterNames() {
    auto arg = [](TAutoArgs& args, int index) { return GetArg(args, index); };
    auto number = [&](TAutoArgs& args, int index) { return rtl::VarToInt(arg(args, index)); };
    AddMethod("GetBounds", 2, [this](TAutoArgs& args, OleVariant&) {
        SetArg(args, 0, OleVariant(RowCount));
        SetArg(args, 1, OleVariant(ColCount));
    });
    AddMethod("SetBounds", 2, [this, number](TAutoArgs& args, OleVariant&) {
        DoSetBounds(number(args, 0), number(args, 1));
    });
    AddMethod("GetValue", 2, [this, number](TAutoArgs& args, OleVariant& result) {
        result = DoGetValue(number(args, 0), number(args, 1));
    });
    AddMethod("SetValue", 3, [this, number, arg](TAutoArgs& args, OleVariant&) {
        DoSetValue(number(args, 0), number(args, 1), arg(args, 2));
    });
    AddMethod("Empty", 0,
              [this](TAutoArgs&, OleVariant& result) { result = OleVariant(IsEmpty() ? 1 : 0); });
    AddMethod("__PSA", 0, [this](TAutoArgs&, OleVariant& result) {
        // A pointer does not fit a 32-bit integer on a 64-bit platform: it travels as VT_I8 there.
        const auto address = reinterpret_cast<std::intptr_t>(FTable.parray);
        if constexpr (sizeof(void*) == 8)
            result = OleVariant(static_cast<LONGLONG>(address));
        else
            result = OleVariant(static_cast<int>(address));
    });
    AddMethod("SetRowValues", 0, [this, number, arg](TAutoArgs& args, OleVariant&) {
        const auto count = static_cast<std::int32_t>(ArgCount(args));
        if (count < 2) return;
        const std::int32_t x = number(args, 0);
        for (std::int32_t k = 0; k + 1 < count; ++k)
            DoSetValue(x, k, arg(args, k + 1));
    });
    AddMethod("__SetPSA", 1, [this, arg](TAutoArgs& args, OleVariant&) {
        OleVariant pointer;
        const OleVariant value = arg(args, 0);
        if (FAILED(VariantChangeType(&pointer, &value, 0, VT_I8)))
            throw rtl::Exception(TypeErrorText() + std::to_string(value.vt));
        if (pointer.llVal != 0)
            Adopt(reinterpret_cast<SAFEARRAY*>(static_cast<std::intptr_t>(pointer.llVal)));
    });
    AddMethod("LoadFromFile", 1,
              [this, arg](TAutoArgs& args, OleVariant&) { DoLoadFromFile(PathOf(arg(args, 0))); });
    AddMethod("SaveToFile", 1,
              [this, arg](TAutoArgs& args, OleVariant&) { DoSaveToFile(PathOf(arg(args, 0))); });
    AddMethod("SaveToFileAsStream", 1, [this, arg](TAutoArgs& args, OleVariant&) {
        DoSaveToFileAsStream(PathOf(arg(args, 0)));
    });
    AddMethod("LoadFromFileAsStream", 1, [this, arg](TAutoArgs& args, OleVariant&) {
        DoLoadFromFileAsStream(PathOf(arg(args, 0)));
    });
    AddProperty(
        "RowCount", [this](TAutoArgs&, OleVariant& result) { result = OleVariant(RowCount); },
        nullptr);
    AddProperty(
        "ColCount", [this](TAutoArgs&, OleVariant& result) { result = OleVariant(ColCount); },
        nullptr);
}

} // namespace quill::exchange
