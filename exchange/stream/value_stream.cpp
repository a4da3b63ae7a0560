#include "exchange/stream/value_stream.h"

#include "exchange/valuearray/value_array_class.h"
#include "platform/com/bstr_arena.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/exception.h"
#include "quill/host.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace quill::exchange {

using namespace com;

namespace {

constexpr std::uint32_t kByRefVariant = VT_BYREF;

struct ArrayDeleter {
    void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); }
};
using ArrayHolder = std::unique_ptr<SAFEARRAY, ArrayDeleter>;

const std::string& UnsupportedPrefix() {
    static const std::string text =
        kernel::WideToAnsi(u"Неподдерживаемый тип данных.\r\nТип данных=");
    return text;
}

void WriteU32(TMyMemoryStream& stream, std::uint32_t value) {
    stream.Write(&value, 4);
}

std::uint32_t ReadU32(TMyMemoryStream& stream) {
    std::uint32_t value;
    stream.Read(&value, 4);
    return value;
}

// On reading, the error describes the platform's missing-parameter value, not the stored one.
[[noreturn]] void RaiseUnsupportedOnRead() {
    OleVariant missing = OleVariant::Error(DISP_E_PARAMNOTFOUND);
    RaiseUnsupportedType(missing);
}

void CheckDepth(int depth, const VARIANT& value) {
    if (depth > MaxNesting) RaiseUnsupportedType(value);
}

bool IsWritableElementType(VARTYPE vt) {
    if (IsRawBlockType(vt)) return true;
    switch (vt) {
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_VARIANT:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
        return true;
    default:
        return false;
    }
}

// Signed bytes were once written without their data byte; such streams still read (the value
// comes back as 0), but no new value of the type is written, as it would lose its data.
bool IsReadableElementType(VARTYPE vt) {
    return IsWritableElementType(vt) || vt == VT_I1;
}

// Scalars that a record can carry by value: the size table without the types that have no
// meaningful data of their own.
bool IsWritableScalar(VARTYPE base) {
    switch (base) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
        return true;
    default:
        return false;
    }
}

// Walks the elements in the record order: last dimension fastest, first slowest. `visit`
// receives the element's offset in elements from the start of the data block.
template <class Visit> void ForEachElementOdometer(const SAFEARRAY* array, Visit&& visit) {
    const UINT dims = array->cDims;
    std::vector<std::size_t> count(dims), stride(dims), index(dims, 0);
    std::size_t total = 1;
    for (UINT k = 0; k < dims; ++k) {
        count[k] = SafeArrayBound(array, k + 1).cElements;
        stride[k] = k == 0 ? 1 : stride[k - 1] * count[k - 1];
        total *= count[k];
    }
    if (total == 0) return;
    std::size_t offset = 0;
    const std::size_t last = dims - 1;
    for (;;) {
        for (std::size_t i = 0; i < count[last]; ++i)
            visit(offset + i * stride[last]);
        // Carry into the slower dimensions.
        std::size_t k = last;
        for (;;) {
            if (k == 0) return;
            --k;
            if (++index[k] < count[k]) {
                offset += stride[k];
                break;
            }
            offset -= (count[k] - 1) * stride[k];
            index[k] = 0;
        }
    }
}

void WriteValueAt(TMyMemoryStream& stream, const VARIANT& value, int depth);

void WriteArrayAt(TMyMemoryStream& stream, const SAFEARRAY* array, VARTYPE elementType,
                  const VARIANT& owner, int depth) {
    CheckDepth(depth, owner);
    VARTYPE actual = VT_EMPTY;
    if (!array || FAILED(SafeArrayGetVartype(array, &actual)) || actual != elementType ||
        !IsWritableElementType(elementType))
        RaiseUnsupportedType(owner);
    const ULONGLONG total = SafeArrayElementCount(array);
    const std::size_t size =
        IsRawBlockType(elementType) ? static_cast<std::size_t>(ValueDataSize(elementType)) : 0;
    if (size && total * size > static_cast<ULONGLONG>(std::numeric_limits<std::int32_t>::max()))
        RaiseUnsupportedType(owner);

    const UINT dims = array->cDims;
    std::vector<std::uint32_t> header;
    header.reserve(2 + 2 * dims);
    header.push_back(static_cast<std::uint32_t>(elementType) | VT_ARRAY);
    header.push_back(dims);
    for (UINT k = 1; k <= dims; ++k)
        header.push_back(static_cast<std::uint32_t>(SafeArrayBound(array, k).lLbound));
    for (UINT k = 1; k <= dims; ++k) {
        const SAFEARRAYBOUND& b = SafeArrayBound(array, k);
        header.push_back(
            static_cast<std::uint32_t>(static_cast<LONGLONG>(b.lLbound) + b.cElements - 1));
    }
    stream.Write(header.data(), static_cast<std::int32_t>(header.size() * 4));

    if (size) {
        const auto bytes = static_cast<std::uint32_t>(total * size);
        WriteU32(stream, bytes);
        stream.Write(array->pvData, static_cast<std::int32_t>(bytes));
        return;
    }
    const char* data = static_cast<const char*>(array->pvData);
    const std::size_t element = array->cbElements;
    ForEachElementOdometer(array, [&](std::size_t offset) {
        const void* p = data + offset * element;
        if (elementType == VT_VARIANT) {
            WriteValueAt(stream, *static_cast<const VARIANT*>(p), depth + 1);
            return;
        }
        // A borrowed view of the element as a value of the element type.
        VARIANT view;
        std::memset(static_cast<void*>(&view), 0, sizeof view);
        view.vt = elementType;
        if (elementType == VT_BSTR || elementType == VT_DISPATCH)
            std::memcpy(&view.byref, p, sizeof(void*));
        else
            std::memcpy(&view.llVal, p, element);
        WriteValueAt(stream, view, depth + 1);
    });
}

// Follows by-reference variants to the value they finally hold; nil when a link is nil.
const VARIANT* FinalTarget(const VARIANT& value) {
    const VARIANT* v = &value;
    for (int hops = 0; v && v->vt == (VT_BYREF | VT_VARIANT); ++hops) {
        if (hops > MaxNesting) return nullptr;
        v = v->pvarVal;
    }
    return v;
}

void WriteObject(TMyMemoryStream& stream, const VARIANT& value, IDispatch* object, int depth) {
    ComPtr<quill::ISafeArray> table = ComPtr<quill::ISafeArray>::QueryFrom(object);
    if (!table) RaiseUnsupportedType(value);
    SAFEARRAY* array = nullptr;
    std::int32_t elementType = 0;
    if (FAILED(table->GetPSA(&array)) || FAILED(table->ElementType(&elementType)) || !array)
        RaiseUnsupportedType(value);
    WriteArrayAt(stream, array, static_cast<VARTYPE>(elementType), value, depth + 1);
}

void WriteValueAt(TMyMemoryStream& stream, const VARIANT& value, int depth) {
    const VARTYPE vt = value.vt;
    const bool byRef = (vt & VT_BYREF) != 0;
    if (vt & VT_ARRAY) {
        if (vt & ~(VT_BYREF | VT_ARRAY | VT_TYPEMASK)) RaiseUnsupportedType(value);
        const SAFEARRAY* array = byRef ? (value.pparray ? *value.pparray : nullptr) : value.parray;
        WriteArrayAt(stream, array, static_cast<VARTYPE>(vt & VT_TYPEMASK), value, depth);
        return;
    }
    if (vt == (VT_BYREF | VT_VARIANT)) {
        CheckDepth(depth, value);
        // Refuse before the first byte when the variant finally holds what cannot be written.
        const VARIANT* target = FinalTarget(value);
        if (!target) RaiseUnsupportedType(value);
        const VARTYPE tb = static_cast<VARTYPE>(target->vt & ~VT_BYREF);
        if (!(target->vt & VT_ARRAY) && tb != VT_DISPATCH && tb != VT_BSTR &&
            !((tb == VT_EMPTY || tb == VT_NULL) && !(target->vt & VT_BYREF)) &&
            !IsWritableScalar(tb))
            RaiseUnsupportedType(*target);
        WriteU32(stream, kByRefVariant);
        WriteValueAt(stream, *value.pvarVal, depth + 1);
        return;
    }
    if (vt & ~(VT_BYREF | VT_TYPEMASK)) RaiseUnsupportedType(value);
    const VARTYPE base = static_cast<VARTYPE>(vt & VT_TYPEMASK);
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
        if (byRef) RaiseUnsupportedType(value);
        WriteU32(stream, vt);
        return;
    case VT_BSTR: {
        const BSTR text = byRef ? (value.pbstrVal ? *value.pbstrVal : nullptr) : value.bstrVal;
        if (byRef && !value.pbstrVal) RaiseUnsupportedType(value);
        const UINT units = SysStringLen(text);
        UINT length = 0;
        while (length < units && text[length] != 0)
            ++length;
        if (length > static_cast<UINT>(std::numeric_limits<std::int32_t>::max() / 2))
            RaiseUnsupportedType(value);
        const std::uint32_t head[2] = {vt, length};
        stream.Write(head, 8);
        stream.Write(text, static_cast<std::int32_t>(length * 2));
        return;
    }
    case VT_DISPATCH: {
        if (byRef && !value.ppdispVal) RaiseUnsupportedType(value);
        CheckDepth(depth, value);
        WriteObject(stream, value, byRef ? *value.ppdispVal : value.pdispVal, depth);
        return;
    }
    default:
        break;
    }
    if (!IsWritableScalar(base) || (byRef && !value.byref)) RaiseUnsupportedType(value);
    const int size = ValueDataSize(base);
    unsigned char record[4 + 8];
    const std::uint32_t type = vt;
    std::memcpy(record, &type, 4);
    std::memcpy(record + 4, byRef ? value.byref : static_cast<const void*>(&value.llVal),
                static_cast<std::size_t>(size));
    stream.Write(record, 4 + size);
}

void ReadValueInto(TMyMemoryStream& stream, VARIANT& out, int depth, TBStrArena& texts);

// Converts a decoded element into the array slot `slot` of type `elementType`; `decoded` is
// consumed. False when the value has no form of that type.
bool StoreElement(void* slot, VARTYPE elementType, VARIANT& decoded) {
    if (decoded.vt == elementType) {
        // Already of the element type (the usual case): the payload moves over as it is.
        if (elementType == VT_BSTR || elementType == VT_DISPATCH)
            std::memcpy(slot, &decoded.byref, sizeof(void*));
        else
            std::memcpy(slot, &decoded.llVal, VarTypeSize(elementType));
        decoded.vt = VT_EMPTY;
        return true;
    }
    OleVariant value = OleVariant::Adopt(decoded);
    OleVariant converted;
    if (value.vt == elementType) {
        converted = std::move(value);
    } else if (FAILED(VariantChangeType(&converted, &value, 0, elementType))) {
        return false;
    }
    VARIANT raw = converted.Detach();
    if (elementType == VT_BSTR || elementType == VT_DISPATCH)
        std::memcpy(slot, &raw.byref, sizeof(void*));
    else
        std::memcpy(slot, &raw.llVal, VarTypeSize(elementType));
    return true;
}

// Decodes the commonest cells of a variant table (empty, null, fixed-size numbers, texts) when
// the whole record lies between `p` and `end`, and moves `p` past it. Anything else, and any
// record that would fail, is left untouched (false) for ReadValueInto, which decodes it the same
// way and raises what it must. The cursor is a local pointer rather than the stream's position so
// that it stays in a register across the cells of a table. Texts come from `texts`.
inline bool ReadPlainCell(const unsigned char*& p, const unsigned char* end, VARIANT& out,
                          TBStrArena& texts) {
    const std::ptrdiff_t left = end - p;
    if (left < 4) return false;
    std::uint32_t type;
    std::memcpy(&type, p, 4);
    int size;
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
        out.vt = static_cast<VARTYPE>(type);
        p += 4;
        return true;
    case VT_UI1:
        size = 1;
        break;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        size = 2;
        break;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
    case VT_UI4:
        size = 4;
        break;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
        size = 8;
        break;
    case VT_BSTR: {
        if (left < 8) return false;
        std::uint32_t length;
        std::memcpy(&length, p + 4, 4);
        if (left - 8 < static_cast<std::ptrdiff_t>(length) * 2) return false;
        // Straight from the stream's bytes into the text: the characters need not be aligned
        // there, and a byte copy of them is the text itself.
        BSTR text = texts.AllocateByteLen(reinterpret_cast<const char*>(p + 8), length * 2);
        if (!text) return false;
        out.vt = VT_BSTR;
        out.bstrVal = text;
        p += 8 + std::size_t{length} * 2;
        return true;
    }
    default:
        return false;
    }
    if (left < 4 + size) return false;
    out.llVal = 0;
    switch (size) {
    case 1:
        std::memcpy(&out.llVal, p + 4, 1);
        break;
    case 2:
        std::memcpy(&out.llVal, p + 4, 2);
        break;
    case 4:
        std::memcpy(&out.llVal, p + 4, 4);
        break;
    default:
        std::memcpy(&out.llVal, p + 4, 8);
        break;
    }
    out.vt = static_cast<VARTYPE>(type);
    p += 4 + size;
    return true;
}

// Decodes the cells of a variant array of any dimension count in record order straight into its
// (zeroed, hence empty) elements: a failure leaves every element valid for the array's
// destruction.
void ReadVariantCellsOdometer(TMyMemoryStream& stream, SAFEARRAY* array, int depth,
                              TBStrArena& texts) {
    auto* cells = static_cast<VARIANT*>(array->pvData);
    const unsigned char* const base = stream.Memory;
    const unsigned char* const end = base + stream.Size;
    const unsigned char* p = base + stream.Position;
    ForEachElementOdometer(array, [&](std::size_t offset) {
        VARIANT& cell = cells[offset];
        if (ReadPlainCell(p, end, cell, texts)) return;
        stream.Position = static_cast<std::int32_t>(p - base);
        ReadValueInto(stream, cell, depth + 1, texts);
        p = base + stream.Position;
    });
    stream.Position = static_cast<std::int32_t>(p - base);
}

// Decodes the cells of a variant array of one or two dimensions, created without initialising
// its cells, in record order straight into them. Each cell is written whole before it is decoded
// into; on a failure the cells not reached yet are written as empty ones, so that every cell is
// valid for the array's destruction.
constexpr std::size_t kCellsAhead = 3;

void ReadVariantCells(TMyMemoryStream& stream, SAFEARRAY* array, int depth, TBStrArena& texts) {
    auto* cells = static_cast<VARIANT*>(array->pvData);
    // Record order varies the last dimension fastest, memory order the first: the cell of record
    // (row, column) lies at row + column * rows. A vector is one row.
    const std::size_t rows = array->cDims == 2 ? SafeArrayBound(array, 1).cElements : 1;
    const std::size_t columns = SafeArrayBound(array, array->cDims).cElements;
    const unsigned char* const base = stream.Memory;
    const unsigned char* const end = base + stream.Size;
    const unsigned char* p = base + stream.Position;
    std::size_t row = 0, column = 0;
    try {
        for (; row < rows; ++row) {
            VARIANT* cell = cells + row;
            for (column = 0; column < columns; ++column, cell += rows) {
                // The cells of one column lie apart by a whole column's bytes, so no hardware
                // prefetcher sees the pattern: ask for the line of the cell a few rows on, which
                // is written by then.
                __builtin_prefetch(cell + kCellsAhead, 1);
                std::memset(static_cast<void*>(cell), 0, sizeof *cell);
                if (ReadPlainCell(p, end, *cell, texts)) continue;
                stream.Position = static_cast<std::int32_t>(p - base);
                ReadValueInto(stream, *cell, depth + 1, texts);
                p = base + stream.Position;
            }
        }
    } catch (...) {
        // The failed cell was emptied before its read, which leaves nothing behind on failure.
        std::size_t from = column + 1;
        for (; row < rows; ++row, from = 0)
            for (std::size_t rest = from; rest < columns; ++rest)
                std::memset(static_cast<void*>(cells + row + rest * rows), 0, sizeof(VARIANT));
        throw;
    }
    stream.Position = static_cast<std::int32_t>(p - base);
}

// An array's dimensions as the stream gives them: lower and upper bounds, dimension 1 first.
struct TArrayShape {
    std::vector<SAFEARRAYBOUND> Bounds;
    std::int64_t Total = 0; // the number of elements, when not Beyond
    bool Beyond = false;    // more elements than bytes left: they cannot all be in the stream
};

TArrayShape ReadArrayShape(TMyMemoryStream& stream, std::uint32_t dims) {
    stream.CheckReadable(static_cast<std::int64_t>(dims) * 8);
    std::vector<std::int32_t> bounds(2 * static_cast<std::size_t>(dims));
    stream.Read(bounds.data(), static_cast<std::int32_t>(dims * 8));

    TArrayShape shape;
    shape.Bounds.resize(dims);
    shape.Total = 1;
    const std::int64_t available = static_cast<std::int64_t>(stream.Size) - stream.Position;
    bool empty = false;
    for (std::uint32_t k = 0; k < dims; ++k) {
        const std::int64_t count = static_cast<std::int64_t>(bounds[dims + k]) - bounds[k] + 1;
        if (count < 0) RaiseUnsupportedOnRead();
        shape.Bounds[k] = SAFEARRAYBOUND{static_cast<ULONG>(count), bounds[k]};
        if (count == 0)
            empty = true;
        else if (!shape.Beyond && shape.Total > available / count)
            shape.Beyond = true;
        else if (!shape.Beyond)
            shape.Total *= count;
    }
    if (empty) {
        shape.Total = 0;
        shape.Beyond = false;
    }
    return shape;
}

void ReadArrayAt(TMyMemoryStream& stream, std::uint32_t type, int depth, VARIANT& out,
                 TBStrArena& texts) {
    if (depth > MaxNesting) RaiseUnsupportedOnRead();
    const std::uint32_t element = type & ~static_cast<std::uint32_t>(VT_ARRAY);
    if (element > VT_TYPEMASK || !IsReadableElementType(static_cast<VARTYPE>(element)))
        RaiseUnsupportedOnRead();
    const auto elementType = static_cast<VARTYPE>(element);
    const std::uint32_t dims = ReadU32(stream);
    if (dims == 0 || dims > 0xFFFF) RaiseUnsupportedOnRead();
    const TArrayShape arrayShape = ReadArrayShape(stream, dims);
    const std::vector<SAFEARRAYBOUND>& shape = arrayShape.Bounds;
    const std::int64_t total = arrayShape.Total;
    const bool beyond = arrayShape.Beyond;
    const std::int64_t available = static_cast<std::int64_t>(stream.Size) - stream.Position;

    ArrayHolder array;
    if (IsRawBlockType(elementType)) {
        const std::uint32_t byteCount = ReadU32(stream);
        if (beyond || total * ValueDataSize(elementType) != static_cast<std::int64_t>(byteCount))
            RaiseUnsupportedOnRead();
        stream.CheckReadable(byteCount);
        // The block below overwrites every element: no need to zero them first.
        array.reset(SafeArrayCreateForOverwrite(elementType, dims, shape.data()));
        if (!array) throw std::bad_alloc();
        if (byteCount) stream.Read(array->pvData, static_cast<std::int32_t>(byteCount));
    } else {
        // Each element is a record of at least its type word.
        stream.CheckReadable(beyond ? available + 1 : total * 4);
        // A table's (or a vector's) cells are each written once as they are read, not zeroed
        // first.
        const bool fill = elementType == VT_VARIANT && dims <= 2;
        array.reset(fill ? SafeArrayCreateToFill(elementType, dims, shape.data())
                         : SafeArrayCreate(elementType, dims, shape.data()));
        if (!array) throw std::bad_alloc();
        char* data = static_cast<char*>(array->pvData);
        const std::size_t size = array->cbElements;
        if (fill) {
            ReadVariantCells(stream, array.get(), depth, texts);
        } else if (elementType == VT_VARIANT) {
            ReadVariantCellsOdometer(stream, array.get(), depth, texts);
        } else {
            ForEachElementOdometer(array.get(), [&](std::size_t offset) {
                VARIANT decoded;
                std::memset(static_cast<void*>(&decoded), 0, sizeof decoded);
                ReadValueInto(stream, decoded, depth + 1, texts);
                if (!StoreElement(data + offset * size, elementType, decoded)) {
                    stream.DumpContent(std::to_string(stream.Position) + "_" +
                                       std::to_string(stream.Size));
                    RaiseUnsupportedOnRead();
                }
            });
        }
    }
    if (dims == 2) {
        ComPtr<quill::ISafeArray> table = CreateValueArray();
        if (FAILED(table->SetPSAOfType(array.get(), elementType))) RaiseUnsupportedOnRead();
        array.release(); // the value array owns it now
        out.vt = VT_DISPATCH;
        out.pdispVal = static_cast<IDispatch*>(table.Detach());
        return;
    }
    out.vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    out.parray = array.release();
}

void ReadValueInto(TMyMemoryStream& stream, VARIANT& out, int depth, TBStrArena& texts) {
    std::uint32_t type = ReadU32(stream);
    // A by-reference variant: the referenced value follows as a record of its own.
    while (type == kByRefVariant) {
        if (++depth > MaxNesting) RaiseUnsupportedOnRead();
        type = ReadU32(stream);
    }
    type &= ~static_cast<std::uint32_t>(VT_BYREF);
    if (type & VT_ARRAY) {
        ReadArrayAt(stream, type, depth, out, texts);
        return;
    }
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1: // signed bytes were stored without a data byte
        out.vt = static_cast<VARTYPE>(type);
        return;
    case VT_BSTR: {
        const std::uint32_t length = ReadU32(stream);
        stream.CheckReadable(static_cast<std::int64_t>(length) * 2);
        BSTR text = texts.AllocateByteLen(
            reinterpret_cast<const char*>(stream.Memory + stream.Position), length * 2);
        if (!text) throw std::bad_alloc();
        stream.Position += static_cast<std::int32_t>(length * 2);
        out.vt = VT_BSTR;
        out.bstrVal = text;
        return;
    }
    case 256: {
        const std::uint32_t length = ReadU32(stream);
        stream.CheckReadable(length);
        const std::u16string text = kernel::AnsiToWide(std::string_view(
            reinterpret_cast<const char*>(stream.Memory) + stream.Position, length));
        stream.Position += static_cast<std::int32_t>(length);
        out.bstrVal = BStrFromText(text);
        if (!out.bstrVal && !text.empty()) throw std::bad_alloc();
        out.vt = VT_BSTR;
        return;
    }
    default:
        break;
    }
    if (type > VT_TYPEMASK || !IsWritableScalar(static_cast<VARTYPE>(type)))
        RaiseUnsupportedOnRead();
    out.llVal = 0;
    // Reads of a constant size compile to single moves; this runs once per cell of a table.
    switch (ValueDataSize(type)) {
    case 1:
        stream.Read(&out.llVal, 1);
        break;
    case 2:
        stream.Read(&out.llVal, 2);
        break;
    case 4:
        stream.Read(&out.llVal, 4);
        break;
    default:
        stream.Read(&out.llVal, 8);
        break;
    }
    out.vt = static_cast<VARTYPE>(type);
}

} // namespace

int ValueDataSize(std::uint32_t type) {
    static constexpr int sizes[] = {0, 0, 2, 4, 4, 8, 8, 8, 0, 0, 4, 2, 0, 0, 0, 0, 0, 1, 2, 4, 8};
    if (type < std::size(sizes)) return sizes[type];
    return type == 256 ? 0 : -1;
}

bool IsRawBlockType(VARTYPE vt) {
    switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_UI1:
        return true;
    default:
        return false;
    }
}

std::u16string ValueRepresentation(const VARIANT& value) {
    if ((value.vt & ~VT_BYREF) == VT_DISPATCH) return u"Объект";
    try {
        return rtl::VarToWide(value);
    } catch (...) {
        return u"Неопределено";
    }
}

void RaiseUnsupportedType(const VARIANT& value) {
    throw rtl::EInvalidOp(UnsupportedPrefix() + std::to_string(value.vt) +
                          kernel::WideToAnsi(u"\r\nПредставление: (") +
                          kernel::WideToAnsi(ValueRepresentation(value)) + ")");
}

void WriteValue(TMyMemoryStream& stream, const VARIANT& value) {
    WriteValueAt(stream, value, 0);
}

OleVariant ReadValue(TMyMemoryStream& stream) {
    VARIANT raw;
    std::memset(static_cast<void*>(&raw), 0, sizeof raw);
    TBStrArena texts;
    try {
        ReadValueInto(stream, raw, 0, texts);
    } catch (...) {
        VariantClear(&raw);
        throw;
    }
    return OleVariant::Adopt(raw);
}

void WriteArray(TMyMemoryStream& stream, const SAFEARRAY* array, VARTYPE elementType) {
    VARIANT owner;
    std::memset(static_cast<void*>(&owner), 0, sizeof owner);
    owner.vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    owner.parray = const_cast<SAFEARRAY*>(array);
    WriteArrayAt(stream, array, elementType, owner, 0);
}

OleVariant ReadArray(TMyMemoryStream& stream, std::uint32_t type) {
    if (!(type & VT_ARRAY)) RaiseUnsupportedOnRead();
    VARIANT raw;
    std::memset(static_cast<void*>(&raw), 0, sizeof raw);
    TBStrArena texts;
    ReadArrayAt(stream, type & ~static_cast<std::uint32_t>(VT_BYREF), 0, raw, texts);
    return OleVariant::Adopt(raw);
}

} // namespace quill::exchange
