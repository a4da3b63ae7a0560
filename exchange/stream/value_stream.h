// The value stream: the binary encoding of variant values, arrays of any dimension count
// included, into a TMyMemoryStream.
//
// A value is one record: a 32-bit little-endian type word, then what the type needs (nothing for
// empty and null, a length and UTF-16 or Windows-1251 units for texts, the data bytes of fixed-size
// scalars, a nested record for a by-reference variant). Arrays carry their element type, dimension
// count and bounds, then either one raw block (fixed-size numbers, dimension 1 varying fastest) or
// one record per element (last dimension varying fastest). A value-array object is written as the
// array it holds; a two-dimensional array read back becomes a new value-array object (VT_DISPATCH),
// any other array stays an array.
//
// Errors: a value that cannot be encoded raises EInvalidOp "Неподдерживаемый тип данных..."
// before any byte of that value is written (bytes of enclosing records stay in the stream).
// Reading never goes outside the stream or an array: running out of data raises the stream's read
// error; a type outside the encoding, bounds or a byte count that do not fit, or nesting deeper
// than MaxNesting raise the unsupported-type error, and no length is used for an allocation
// before the data it promises has been found in the stream. A failed read leaves no result
// behind. Thread-safe on distinct streams.
#pragma once

#include "exchange/stream/memory_stream.h"
#include "platform/com/com_safearray.h"

#include <cstdint>
#include <string>

namespace quill::exchange {

// Arrays within arrays (or value arrays within their own cells) deeper than this are refused on
// writing and on reading, so that neither a cycle nor a crafted stream exhausts the stack.
constexpr int MaxNesting = 64;

// Bytes of data that follow the type word of a scalar of base type `type`, or -1 for a type the
// encoding does not know. Texts, objects and variants have no fixed data (0).
int ValueDataSize(std::uint32_t type);
// Element types whose arrays are stored as one raw block.
bool IsRawBlockType(com::VARTYPE elementType);

void WriteValue(TMyMemoryStream& stream, const com::VARIANT& value);
com::OleVariant ReadValue(TMyMemoryStream& stream);
// Writes `array` as an array record with element type `elementType`, which must be the array's.
void WriteArray(TMyMemoryStream& stream, const com::SAFEARRAY* array, com::VARTYPE elementType);
// Reads the rest of an array record whose type word (element type | VT_ARRAY) was just read.
com::OleVariant ReadArray(TMyMemoryStream& stream, std::uint32_t type);

// "Объект" for an object, else the value as text, "Неопределено" when it has none.
std::u16string ValueRepresentation(const com::VARIANT& value);
// The unsupported-type error for `value`, with its type number and representation.
[[noreturn]] void RaiseUnsupportedType(const com::VARIANT& value);

} // namespace quill::exchange
