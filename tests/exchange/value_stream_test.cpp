// The value stream: golden bytes, round trips of every type, and refusal of bad input.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/value_array_class.h"
#include "exchange/valuearray/value_array_object.h"
#include "infra/log/log_folder.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Encode(const VARIANT& value) {
    TMyMemoryStream stream;
    WriteValue(stream, value);
    return Bytes(stream.Memory, stream.Memory + stream.Size);
}

OleVariant Decode(const Bytes& bytes, std::int32_t* endPosition = nullptr) {
    TMyMemoryStream stream;
    stream.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream.Position = 0;
    OleVariant v = ReadValue(stream);
    if (endPosition) *endPosition = stream.Position;
    return v;
}

// The message a refused stream raises, or "accepted".
std::u16string ReadError(const Bytes& bytes) {
    try {
        Decode(bytes);
    } catch (const rtl::Exception& e) {
        return kernel::AnsiToWide(e.Message());
    }
    return u"accepted";
}

Bytes Le32(std::initializer_list<std::uint32_t> words) {
    Bytes out;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

OleVariant Scalar(VARTYPE vt, std::uint64_t bits) {
    VARIANT raw{};
    raw.vt = vt;
    std::memcpy(&raw.llVal, &bits, sizeof bits);
    return OleVariant::Adopt(raw);
}

bool SameScalar(const VARIANT& a, const VARIANT& b) {
    if (a.vt != b.vt) return false;
    if (a.vt == VT_BSTR) return TextFromBStr(a.bstrVal) == TextFromBStr(b.bstrVal);
    const int size = ValueDataSize(a.vt);
    return size <= 0 || std::memcmp(&a.llVal, &b.llVal, static_cast<std::size_t>(size)) == 0;
}

OleVariant IntArray(std::vector<SAFEARRAYBOUND> bounds, VARTYPE vt = VT_I4) {
    SAFEARRAY* array = SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data());
    return OleVariant::FromArray(array, vt);
}

std::u16string ErrorText(const std::exception& e) {
    return kernel::AnsiToWide(static_cast<const rtl::Exception&>(e).Message());
}

const std::u16string kReadUnsupported =
    u"Неподдерживаемый тип данных.\r\nТип данных=10\r\nПредставление: (Неопределено)";

// The read errors these tests provoke dump into the program's scratch log folder, within the
// process's share of dumps.
class ValueStream : public testing::Test {};

} // namespace

TEST_F(ValueStream, GoldenBytesOfTheDocumentedExamples) {
    EXPECT_EQ(Encode(OleVariant(u"AB")), (Bytes{8, 0, 0, 0, 2, 0, 0, 0, 0x41, 0, 0x42, 0}));
    EXPECT_EQ(Encode(OleVariant(std::u16string_view(u"A\0B", 3))),
              (Bytes{8, 0, 0, 0, 1, 0, 0, 0, 0x41, 0}));
    EXPECT_EQ(Encode(OleVariant()), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Encode(OleVariant(1)), (Bytes{3, 0, 0, 0, 1, 0, 0, 0}));

    OleVariant array = IntArray({{3, 0}});
    for (LONG i = 0; i < 3; ++i) {
        LONG value = i + 1;
        SafeArrayPutElement(array.parray, &i, &value);
    }
    EXPECT_EQ(Encode(array), Concat({Le32({0x2003, 1, 0, 2, 12}), Le32({1, 2, 3})}));
}

TEST_F(ValueStream, ByReferenceValuesAndEightBitTexts) {
    LONG number = 7;
    VARIANT byRefInt{};
    byRefInt.vt = VT_BYREF | VT_I4;
    byRefInt.plVal = &number;
    EXPECT_EQ(Encode(byRefInt), Le32({0x4003, 7}));
    OleVariant decoded = Decode(Le32({0x4003, 7}));
    EXPECT_EQ(decoded.vt, VT_I4);
    EXPECT_EQ(decoded.lVal, 7);

    OleVariant inner(u"x");
    VARIANT byRefVariant{};
    byRefVariant.vt = VT_BYREF | VT_VARIANT;
    byRefVariant.pvarVal = &inner;
    EXPECT_EQ(Encode(byRefVariant), Concat({Le32({0x4000, 8, 1}), Bytes{'x', 0}}));
    EXPECT_EQ(rtl::VarToWide(Decode(Encode(byRefVariant))), u"x");

    // Windows-1251 "Аб" comes back as UTF-16.
    decoded = Decode(Concat({Le32({256, 2}), Bytes{0xC0, 0xE1}}));
    EXPECT_EQ(decoded.vt, VT_BSTR);
    EXPECT_EQ(TextFromBStr(decoded.bstrVal), u"Аб");
}

TEST_F(ValueStream, EveryScalarTypeRoundTrips) {
    const std::vector<OleVariant> values = {OleVariant(),
                                            OleVariant::Null(),
                                            OleVariant::FromShort(-2),
                                            OleVariant(-123456),
                                            Scalar(VT_R4, 0x3FC00000),
                                            OleVariant(3.25),
                                            OleVariant::FromCurrency(123456789),
                                            OleVariant::FromDate(45000.5),
                                            OleVariant(u"Привет"),
                                            OleVariant::Error(DISP_E_PARAMNOTFOUND),
                                            OleVariant(true),
                                            OleVariant::FromByte(200),
                                            Scalar(VT_UI2, 65000),
                                            Scalar(VT_UI4, 4000000000u),
                                            OleVariant(static_cast<LONGLONG>(-5) << 40),
                                            OleVariant(u"")};
    for (const OleVariant& value : values) {
        std::int32_t end = 0;
        const Bytes bytes = Encode(value);
        const OleVariant back = Decode(bytes, &end);
        EXPECT_TRUE(SameScalar(value, back)) << "type " << value.vt;
        EXPECT_EQ(end, static_cast<std::int32_t>(bytes.size()));
        EXPECT_EQ(bytes.size(),
                  4u + (value.vt == VT_BSTR ? 4 + 2 * SysStringLen(value.bstrVal)
                                            : static_cast<unsigned>(ValueDataSize(value.vt))));
    }
}

TEST_F(ValueStream, ArraysOfEveryElementTypeAndDimensionCountRoundTrip) {
    const VARTYPE types[] = {VT_I2,  VT_I4,  VT_R4,  VT_R8, VT_CY,    VT_DATE, VT_BOOL,
                             VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_ERROR, VT_BSTR, VT_VARIANT};
    for (VARTYPE vt : types) {
        for (UINT dims : {1u, 3u}) {
            std::vector<SAFEARRAYBOUND> bounds = {{2, -1}, {3, 5}, {2, 0}};
            bounds.resize(dims);
            OleVariant array = IntArray(bounds, vt);
            const ULONGLONG count = SafeArrayElementCount(array.parray);
            for (ULONGLONG i = 0; i < count; ++i) {
                char* element =
                    static_cast<char*>(array.parray->pvData) + i * array.parray->cbElements;
                if (vt == VT_BSTR)
                    *reinterpret_cast<BSTR*>(element) =
                        BStrFromText(u"t" + std::u16string(i, u'я'));
                else if (vt == VT_VARIANT)
                    new (element)
                        OleVariant(i % 2 ? OleVariant(static_cast<int>(i)) : OleVariant(u"v"));
                else
                    for (ULONG b = 0; b < array.parray->cbElements; ++b)
                        element[b] = static_cast<char>(i * 7 + b + 1);
            }
            const Bytes bytes = Encode(array);
            const OleVariant back = Decode(bytes);
            ASSERT_EQ(back.vt, VT_ARRAY | vt) << vt;
            ASSERT_EQ(SafeArrayGetDim(back.parray), dims);
            for (UINT d = 1; d <= dims; ++d) {
                EXPECT_EQ(SafeArrayBound(back.parray, d).lLbound, bounds[d - 1].lLbound);
                EXPECT_EQ(SafeArrayBound(back.parray, d).cElements, bounds[d - 1].cElements);
            }
            EXPECT_EQ(Encode(back), bytes) << "type " << vt << " dims " << dims;
        }
    }
}

TEST_F(ValueStream, ElementsFollowTheOdometerOrderLastDimensionFastest) {
    // A 2 x 3 array of variants with cell (i, j) = 10 i + j.
    OleVariant array = IntArray({{2, 0}, {3, 0}}, VT_VARIANT);
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 0; j < 3; ++j) {
            const LONG at[2] = {i, j};
            OleVariant cell(static_cast<int>(10 * i + j));
            SafeArrayPutElement(array.parray, at, &cell);
        }
    Bytes expected = Le32({0x200C, 2, 0, 0, 1, 2});
    for (int v : {0, 1, 2, 10, 11, 12})
        expected = Concat({expected, Le32({3, static_cast<std::uint32_t>(v)})});
    EXPECT_EQ(Encode(array), expected);

    // Decoded, the two-dimensional array arrives as a value array with the same cells.
    const OleVariant back = Decode(expected);
    ASSERT_TRUE(IsValueArray(back));
    auto table = ComPtr<ISafeArray>::QueryFrom(back.pdispVal);
    std::int32_t rows = 0, columns = 0;
    table->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 3);
    OleVariant cell;
    EXPECT_EQ(table->GetValue(1, 2, &cell), S_OK);
    EXPECT_EQ(rtl::VarToInt(cell), 12);
    // And a value array is written as the array it holds.
    EXPECT_EQ(Encode(back), expected);
}

TEST_F(ValueStream, UnsupportedValuesAreRefusedBeforeTheirFirstByte) {
    TMyMemoryStream stream;
    WriteValue(stream, OleVariant(1));
    auto refused = [&](const VARIANT& value, const std::u16string& text) {
        const std::int32_t before = stream.Size;
        try {
            WriteValue(stream, value);
            ADD_FAILURE() << "type " << value.vt << " was written";
        } catch (const rtl::EInvalidOp& e) {
            EXPECT_EQ(ErrorText(e), text);
        }
        EXPECT_EQ(stream.Size, before);
    };
    auto plain = CreateComObject<TAutoObject>();
    refused(OleVariant(static_cast<IDispatch*>(plain.Get())),
            u"Неподдерживаемый тип данных.\r\nТип данных=9\r\nПредставление: (Объект)");
    refused(OleVariant(static_cast<IUnknown*>(plain.Get())),
            u"Неподдерживаемый тип данных.\r\nТип данных=13\r\nПредставление: (Неопределено)");
    refused(Scalar(VT_I1, 5),
            u"Неподдерживаемый тип данных.\r\nТип данных=16\r\nПредставление: (5)");
    refused(Scalar(VT_UI8, 5),
            u"Неподдерживаемый тип данных.\r\nТип данных=21\r\nПредставление: (5)");
    OleVariant unknownHolder(static_cast<IUnknown*>(plain.Get()));
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = &unknownHolder;
    refused(byRef,
            u"Неподдерживаемый тип данных.\r\nТип данных=13\r\nПредставление: (Неопределено)");
}

TEST_F(ValueStream, AValueArrayHoldingItselfIsRefusedNotFollowedForever) {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(1, 1);
    OleVariant self(static_cast<IDispatch*>(table.Get()));
    ASSERT_EQ(table->SetValue(0, 0, self), S_OK);
    TMyMemoryStream stream;
    EXPECT_THROW(WriteValue(stream, self), rtl::EInvalidOp);
    table->SetBounds(0, 0); // breaks the reference cycle
}

TEST_F(ValueStream, BadStreamsAreRefusedWithoutReadingOutside) {
    // A text length larger than the data left.
    EXPECT_EQ(ReadError(Concat({Le32({8, 0x7FFFFFFF}), Bytes{'a', 0}})),
              u"Ошибка чтения потока. Pos=8 Size=10 Count=2147483647");
    // A byte count that does not match the bounds.
    EXPECT_EQ(ReadError(Concat({Le32({0x2003, 1, 0, 2, 8}), Le32({1, 2, 3})})), kReadUnsupported);
    // Types outside the size table, as values and as element types.
    EXPECT_EQ(ReadError(Le32({0x63})), kReadUnsupported);
    EXPECT_EQ(ReadError(Le32({9})), kReadUnsupported);
    EXPECT_EQ(ReadError(Le32({0x2000 | 13, 1, 0, 0})), kReadUnsupported);
    EXPECT_EQ(ReadError(Le32({0x10003})), kReadUnsupported);
    // Bounds that describe far more elements than the stream can hold, or a negative count.
    EXPECT_EQ(ReadError(Le32({0x200C, 2, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF})),
              u"Ошибка чтения потока. Pos=24 Size=24 Count=1");
    EXPECT_EQ(ReadError(Le32({0x200C, 1, 5, 3})), kReadUnsupported);
    EXPECT_EQ(ReadError(Le32({0x200C, 0})), kReadUnsupported);
    // Nesting beyond the limit.
    Bytes deep;
    for (int i = 0; i <= MaxNesting + 1; ++i)
        deep = Concat({deep, Le32({0x200C, 1, 0, 0})});
    EXPECT_EQ(ReadError(Concat({deep, Le32({0})})), kReadUnsupported);

    // Every truncation of a valid stream fails cleanly.
    OleVariant array = IntArray({{2, 0}, {2, 0}, {2, 0}}, VT_VARIANT);
    VARIANT* cells = static_cast<VARIANT*>(array.parray->pvData);
    new (&cells[0]) OleVariant(u"text");
    new (&cells[3]) OleVariant(2.5);
    const Bytes full = Encode(array);
    for (std::size_t n = 0; n < full.size(); ++n) {
        const std::u16string text =
            ReadError(Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        EXPECT_EQ(text.rfind(u"Ошибка чтения потока. ", 0), 0u) << n;
    }
}

TEST_F(ValueStream, ATableCutOrBrokenAnywhereIsRefusedAndLeavesEveryCellSound) {
    // A table's cells are decoded into cells that were never initialised: a read that fails at
    // any cell, in the middle of a row or between rows, must leave nothing undefined behind for
    // the table's destruction (texts, nested arrays and value arrays among the cells).
    OleVariant table = IntArray({{4, 0}, {5, 0}}, VT_VARIANT);
    VARIANT* cells = static_cast<VARIANT*>(table.parray->pvData);
    for (int i = 0; i < 20; ++i) {
        switch (i % 5) {
        case 0:
            new (&cells[i])
                OleVariant(u"ячейка " + std::u16string(static_cast<std::size_t>(i), u'x'));
            break;
        case 1:
            new (&cells[i]) OleVariant(i * 1.25);
            break;
        case 2: {
            OleVariant texts = IntArray({{2, 0}}, VT_BSTR);
            static_cast<BSTR*>(texts.parray->pvData)[0] = BStrFromText(u"вложенный");
            new (&cells[i]) OleVariant(std::move(texts));
            break;
        }
        case 3:
            new (&cells[i]) OleVariant(IntArray({{2, 0}, {2, 0}}, VT_VARIANT));
            break;
        default:
            break;
        }
    }
    const Bytes full = Encode(table);
    const OleVariant whole = Decode(full);
    ASSERT_TRUE(IsValueArray(whole));
    EXPECT_EQ(Encode(whole), full);
    for (std::size_t n = 24; n < full.size(); ++n) {
        const std::u16string text =
            ReadError(Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        EXPECT_EQ(text.rfind(u"Ошибка чтения потока. ", 0), 0u) << n;
    }
    // A cell of a type the encoding does not know in the middle of the second row, after a
    // first row with nested arrays and a text: cell (1, 2), the empty one at memory index 9.
    Bytes broken = full;
    Bytes firstRow;
    for (int j = 0; j < 5; ++j)
        firstRow = Concat({firstRow, Encode(cells[j * 4])});
    const std::size_t at = 24 + firstRow.size() + Encode(cells[1]).size() + Encode(cells[5]).size();
    ASSERT_EQ(
        Bytes(broken.begin() + static_cast<long>(at), broken.begin() + static_cast<long>(at) + 4),
        Le32({VT_EMPTY}));
    broken[at] = 0x63;
    EXPECT_EQ(ReadError(broken), kReadUnsupported);
}

TEST(MemoryStream, GrowsInLargeStepsAndNeverShrinksOnSetSize) {
    TMyMemoryStream stream;
    const char data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(stream.Write(data, 10), 10);
    EXPECT_EQ(stream.Capacity, 500000);
    stream.SetSize(4);
    EXPECT_EQ(stream.Size, 10);
    EXPECT_EQ(stream.Position, 4);
    stream.Position = 499999;
    stream.Write(data, 10);
    EXPECT_EQ(stream.Capacity, 1000000);
    EXPECT_EQ(stream.Size, 500009);

    char out[4];
    stream.Position = -1;
    EXPECT_EQ(stream.Read(out, 4), 0);
    stream.Position = 2;
    EXPECT_EQ(stream.Read(out, 0), 0);
    EXPECT_EQ(stream.Read(out, 4), 4);
    EXPECT_EQ(out[0], 3);
    stream.Clear();
    EXPECT_EQ(stream.Capacity, 0);
    EXPECT_EQ(stream.Memory, nullptr);
}

TEST(MemoryStream, AReadPastTheEndDumpsTheContentIntoTheLogFolder) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("quill-dump-" + std::to_string(getpid()));
    fs::create_directories(root);
    const char* previous = std::getenv("QUILL_DATA_DIR");
    const std::string saved = previous ? previous : "";
    setenv("QUILL_DATA_DIR", root.generic_string().c_str(), 1);

    // A share of dumps of the test's own: the process's may be used up by earlier tests.
    TReadDumps share;
    TMyMemoryStream stream(&share);
    stream.Write("abc", 3);
    stream.Position = 1;
    char out[8];
    try {
        stream.Read(out, 5);
        ADD_FAILURE() << "read past the end";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(kernel::AnsiToWide(e.Message()), u"Ошибка чтения потока. Pos=1 Size=3 Count=5");
    }
    EXPECT_EQ(stream.Position, 1);
    std::vector<fs::path> dumps;
    for (const auto& entry : fs::directory_iterator(infra::LogFolder()))
        if (entry.path().filename().string().rfind("Buffer1_", 0) == 0)
            dumps.push_back(entry.path());
    ASSERT_EQ(dumps.size(), 1u);
    {
        // Closed before the folder goes: Windows removes no file that is open.
        std::ifstream in(dumps[0], std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abc");
    }

    if (previous)
        setenv("QUILL_DATA_DIR", saved.c_str(), 1);
    else
        unsetenv("QUILL_DATA_DIR");
    fs::remove_all(root);
}

// A large stream that fails to read costs the shared log folder a window around the failing
// position, not the whole stream, and a process stops dumping after its share.
TEST(MemoryStream, DumpsOfFailedReadsAreBoundedInSizeAndNumber) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("quill-dumps-" + std::to_string(getpid()));
    fs::create_directories(root);
    const char* previous = std::getenv("QUILL_DATA_DIR");
    const std::string saved = previous ? previous : "";
    setenv("QUILL_DATA_DIR", root.generic_string().c_str(), 1);

    // A stream as large as a small file inflates to: every dump must stay within 64 KiB.
    constexpr std::int32_t kSize = 24 * 1024 * 1024;
    TReadDumps dumps;
    TMyMemoryStream stream(&dumps);
    stream.SetSize(kSize);
    for (std::int32_t i = 0; i < kSize; i += 4096)
        stream.Memory[i] = static_cast<unsigned char>(i / 4096);
    char out[16];
    int failures = 0;
    for (std::int32_t at : {kSize - 4, 5, kSize / 2}) {
        stream.Position = at;
        try {
            stream.Read(out, 16);
        } catch (const rtl::Exception&) {
            ++failures;
        }
    }
    EXPECT_EQ(failures, 1) << "only the read at the end fails";
    for (int i = 0; i < 40; ++i) {
        stream.Position = kSize - 1;
        EXPECT_THROW(stream.Read(out, 16), rtl::Exception);
    }
    std::uintmax_t total = 0;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(infra::LogFolder())) {
        if (entry.path().filename().string().rfind("Buffer", 0) != 0) continue;
        ++count;
        EXPECT_LE(entry.file_size(), kMaxDumpBytes);
        total += entry.file_size();
    }
    EXPECT_GE(count, 1);
    EXPECT_LE(count, static_cast<int>(kMaxDumpsPerProcess));
    EXPECT_LE(total, std::uintmax_t{kMaxDumpsPerProcess} * kMaxDumpBytes);

    // The window holds the failing position, moved inwards at the ends.
    const TDumpWindow end = DumpWindow(kSize, kSize - 4);
    EXPECT_EQ(end.Offset + end.Size, static_cast<std::size_t>(kSize));
    EXPECT_EQ(end.Size, kMaxDumpBytes);
    const TDumpWindow middle = DumpWindow(kSize, kSize / 2);
    EXPECT_LT(middle.Offset, static_cast<std::size_t>(kSize / 2));
    EXPECT_GT(middle.Offset + middle.Size, static_cast<std::size_t>(kSize / 2));
    EXPECT_EQ(DumpWindow(100, 50).Size, 100u) << "a small stream is dumped whole";

    if (previous)
        setenv("QUILL_DATA_DIR", saved.c_str(), 1);
    else
        unsetenv("QUILL_DATA_DIR");
    fs::remove_all(root);
}

// Cells of a variant array are decoded by a quick path for the common kinds; every record must
// come out exactly as the general reader makes it alone, and a cut record must fail with the
// general reader's message.
TEST_F(ValueStream, ArrayCellsDecodeAsTheSameRecordsAlone) {
    std::vector<Bytes> records = {
        Le32({VT_EMPTY}),
        Le32({VT_NULL}),
        Encode(OleVariant::FromByte(0xFE)),
        Encode(OleVariant::FromShort(-3)),
        Encode(OleVariant(true)),
        Encode(Scalar(VT_UI2, 0xBEEF)),
        Encode(OleVariant(-123456)),
        Encode(Scalar(VT_R4, 0x40490FDB)),
        Encode(OleVariant::Error(DISP_E_PARAMNOTFOUND)),
        Encode(Scalar(VT_UI4, 0xFFFFFFF0u)),
        Encode(OleVariant(2.75)),
        Encode(OleVariant::FromCurrency(-123456789)),
        Encode(OleVariant::FromDate(45000.5)),
        Encode(OleVariant(static_cast<LONGLONG>(-9000000000LL))),
        Encode(OleVariant(u"")),
        Encode(OleVariant(std::u16string_view(u"a\0b", 3))),
        Le32({VT_I1}),                                     // old signed byte, no data
        Concat({Le32({256, 2}), Bytes{'o', 'k'}}),         // eight-bit text
        Concat({Le32({VT_BYREF}), Encode(OleVariant(7))}), // by-reference variant
        Le32({VT_BYREF | VT_I4, 9}),                       // by-reference flag on a type
    };
    Bytes stream = Le32({0x200C, 1, 0, static_cast<std::uint32_t>(records.size() - 1)});
    for (const Bytes& r : records)
        stream = Concat({stream, r});
    std::int32_t end = 0;
    const OleVariant array = Decode(stream, &end);
    EXPECT_EQ(end, static_cast<std::int32_t>(stream.size()));
    ASSERT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
    ASSERT_EQ(SafeArrayElementCount(array.parray), records.size());
    const auto* cells = static_cast<const VARIANT*>(array.parray->pvData);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const OleVariant alone = Decode(records[i]);
        EXPECT_TRUE(SameScalar(cells[i], alone)) << i;
        EXPECT_EQ(std::memcmp(&cells[i], &alone, 8), 0) << i; // tag and reserved words
    }

    const Bytes head = Le32({0x200C, 1, 0, 0});
    EXPECT_EQ(ReadError(Concat({head, Le32({VT_BSTR, 5}), Bytes{'a', 0, 'b', 0}})),
              u"Ошибка чтения потока. Pos=24 Size=28 Count=10");
    EXPECT_EQ(ReadError(Concat({head, Le32({VT_BSTR})})),
              u"Ошибка чтения потока. Pos=20 Size=20 Count=4");
    EXPECT_EQ(ReadError(Concat({head, Le32({VT_R8, 1})})),
              u"Ошибка чтения потока. Pos=20 Size=24 Count=8");
    EXPECT_EQ(ReadError(Concat({head, Bytes{1, 0}})),
              u"Ошибка чтения потока. Pos=16 Size=18 Count=4");
}
