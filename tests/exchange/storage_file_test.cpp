// The storage file and the plain byte file of the value array: header bytes, every check of
// loading in its order, and saving that never damages the previous file.
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/storage_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "exchange/valuearray/value_array_object.h"
#include "platform/com/class_registry.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"
#include "platform/user/clock.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>
#include <unistd.h>
#include <zlib.h>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;
namespace fs = std::filesystem;

namespace {

class StorageFile : public testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quill-storage-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    std::string PathOf(const char* name) const { return (FFolder / name).string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(FFolder), fs::directory_iterator()));
    }

    fs::path FFolder;
};

ComPtr<ISafeArray> MixedTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(3, 4);
    for (int i = 0; i < 3; ++i) {
        table->SetValue(i, 0, OleVariant(i * 100));
        table->SetValue(
            i, 1, OleVariant(u"строка " + std::u16string(1, static_cast<char16_t>(u'a' + i))));
        table->SetValue(i, 2, OleVariant(i * 0.5));
    }
    return table;
}

std::int16_t Save(ISafeArray* table, const std::string& path) {
    std::int16_t ok = 0;
    EXPECT_EQ(table->SaveToFile(BStr(kernel::Utf8ToWide(path)).Get(), &ok), S_OK)
        << kernel::WideToUtf8(TakeErrorDescription());
    return ok;
}

std::pair<HRESULT, std::u16string> Load(ISafeArray* table, const std::string& path,
                                        std::int16_t* ok) {
    const HRESULT hr = table->LoadFromFile(BStr(kernel::Utf8ToWide(path)).Get(), ok);
    return {hr, FAILED(hr) ? TakeErrorDescription() : u""};
}

std::uint32_t U32(const std::string& s, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

// A storage file around `packed`, with a right size and checksum, whatever the data is.
std::string Wrapped(const std::string& packed, std::uint32_t rawLength) {
    std::string file(StorageHeaderSize, '\0');
    file[0] = 9;
    std::memcpy(&file[1], StorageSignature, 9);
    file[10] = 1;
    file += packed;
    const std::uint32_t fields[3] = {StorageChecksum(packed.data(), packed.size()),
                                     static_cast<std::uint32_t>(file.size()), rawLength};
    std::memcpy(&file[19], fields, sizeof fields);
    return file;
}

std::string Compress2(const std::string& raw, int level) {
    uLongf size = compressBound(raw.size());
    std::string packed(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                        reinterpret_cast<const Bytef*>(raw.data()), raw.size(), level),
              Z_OK);
    packed.resize(size);
    return packed;
}

std::string ValueStreamOf(ISafeArray* table) {
    TMyMemoryStream stream;
    WriteArray(stream, static_cast<TSafeArray*>(table)->PSA(), VT_VARIANT);
    return std::string(reinterpret_cast<char*>(stream.Memory), stream.Size);
}

// Enough rows of numbers and texts that deflate writes several blocks, with long matches.
ComPtr<ISafeArray> LargeTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(3000, 7);
    for (int i = 0; i < 3000; ++i) {
        table->SetValue(i, 0, OleVariant(i * 37));
        table->SetValue(i, 1, OleVariant(u"товар " + std::u16string(1 + i % 5, u'а' + i % 32)));
        table->SetValue(i, 2, OleVariant(i * 1.25));
        table->SetValue(i, 3, OleVariant(i % 7 == 0));
        if (i % 3) table->SetValue(i, 5, OleVariant(std::u16string(i % 40, u'x')));
    }
    return table;
}

// Cells of every common kind in turn (number, real, text, flag, empty), as a table of goods holds
// them.
ComPtr<ISafeArray> TableOfGoods() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(300, 100);
    for (int i = 0; i < 300; ++i)
        for (int j = 0; j < 100; ++j) {
            const int k = i * 100 + j;
            if (k % 5 == 0) table->SetValue(i, j, OleVariant(k));
            if (k % 5 == 1) table->SetValue(i, j, OleVariant(k * 1.5));
            if (k % 5 == 2)
                table->SetValue(i, j, OleVariant(u"товар " + std::u16string(1, u'a' + k % 26)));
            if (k % 5 == 3) table->SetValue(i, j, OleVariant(k % 3 == 0));
        }
    return table;
}

void ExpectSameCells(ISafeArray* expected, ISafeArray* actual) {
    std::int32_t rows = 0, columns = 0, rows2 = 0, columns2 = 0;
    expected->GetBounds(&rows, &columns);
    actual->GetBounds(&rows2, &columns2);
    ASSERT_EQ(rows, rows2);
    ASSERT_EQ(columns, columns2);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            OleVariant a, b;
            expected->GetValue(i, j, &a);
            actual->GetValue(i, j, &b);
            ASSERT_EQ(a.vt, b.vt) << i << "," << j;
            ASSERT_EQ(rtl::VarToWide(a), rtl::VarToWide(b)) << i << "," << j;
        }
}

} // namespace

TEST_F(StorageFile, TheChecksumOfAbcIsTheDocumentedValue) {
    EXPECT_EQ(StorageChecksum("abc", 3), 0xCA6598D0u);
    EXPECT_EQ(StorageChecksum("", 0), 0u);
}

// The checksum is computed many bytes at a time; it must still be the bytewise register of the
// format at every length and alignment, as files written before rely on it.
TEST_F(StorageFile, TheChecksumIsTheBytewiseRegisterAtAnyLengthAndAlignment) {
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(70000);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    for (std::size_t start : {0u, 1u, 3u, 7u})
        for (std::size_t length : {1u, 2u, 15u, 16u, 17u, 255u, 4096u, 65537u}) {
            std::uint32_t crc = 0;
            for (std::size_t i = start; i < start + length; ++i) {
                crc ^= bytes[i];
                for (int k = 0; k < 8; ++k)
                    crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
            }
            EXPECT_EQ(StorageChecksum(bytes.data() + start, length), crc) << start << "+" << length;
        }
}

TEST_F(StorageFile, HeaderBytesDescribeTheCompressedValueStream) {
    ComPtr<ISafeArray> table = MixedTable();
    const std::string path = PathOf("table.dat");
    ASSERT_EQ(Save(table.Get(), path), VARIANT_TRUE);
    const std::string file = Read(path);
    ASSERT_GT(file.size(), StorageHeaderSize);
    EXPECT_EQ(file.substr(0, 11), std::string("\x09SaFeArRaY\x01", 11));
    EXPECT_EQ(U32(file, 23), file.size());
    EXPECT_EQ(U32(file, 19), StorageChecksum(file.data() + 31, file.size() - 31));
    double saved;
    std::memcpy(&saved, file.data() + 11, 8);
    EXPECT_NEAR(saved, LocalDateTimeNow(), 1.0 / 24 / 60);

    // The data is the zlib stream of exactly the table's value-stream encoding.
    auto* object = static_cast<TSafeArray*>(table.Get());
    TMyMemoryStream expected;
    WriteArray(expected, object->PSA(), VT_VARIANT);
    EXPECT_EQ(U32(file, 27), static_cast<std::uint32_t>(expected.Size));
    std::string raw(U32(file, 27), '\0');
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                         reinterpret_cast<const Bytef*>(file.data() + 31), file.size() - 31),
              Z_OK);
    EXPECT_EQ(raw, std::string(reinterpret_cast<char*>(expected.Memory), expected.Size));
    EXPECT_EQ(FilesInFolder(), 1u); // no temporary file left behind
}

TEST_F(StorageFile, TheSaveTimeIsTheLocalTimeOfThePlatformsClock) {
    std::tm local{};
    local.tm_year = 2031 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 17;
    local.tm_hour = 12;
    local.tm_min = 34;
    local.tm_sec = 56;
    local.tm_isdst = -1;
    user::TVirtualClock clock(1000);
    clock.SetSystemTime(static_cast<std::int64_t>(std::mktime(&local)) * 1000 + 789);
    user::TClock* const previous = user::SetClock(&clock);
    const std::string path = PathOf("dated.dat");
    const std::int16_t saved = Save(MixedTable().Get(), path);
    user::SetClock(previous);
    ASSERT_EQ(saved, VARIANT_TRUE);
    double stamp;
    std::memcpy(&stamp, Read(path).data() + 11, 8);
    EXPECT_DOUBLE_EQ(stamp, kernel::EncodeDate(2031, 5, 17, 12 * 3600 + 34 * 60 + 56.789));
}

TEST_F(StorageFile, ATableRoundTrips) {
    ComPtr<ISafeArray> table = MixedTable();
    const std::string path = PathOf("table.dat");
    ASSERT_EQ(Save(table.Get(), path), VARIANT_TRUE);
    ComPtr<ISafeArray> loaded = CreateValueArray();
    std::int16_t ok = 0;
    EXPECT_EQ(Load(loaded.Get(), path, &ok).first, S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    std::int32_t rows = 0, columns = 0;
    loaded->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 4);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            OleVariant a, b;
            table->GetValue(i, j, &a);
            loaded->GetValue(i, j, &b);
            EXPECT_EQ(a.vt, b.vt);
            EXPECT_EQ(rtl::VarToWide(a), rtl::VarToWide(b));
        }
}

// Files are read by other programs with zlib's stream reader: every file we write must inflate
// there to exactly the value stream. A table of goods stays within 1% of the size that zlib's
// level 9 gives (tables of long repeated texts may come out a few per cent larger).
TEST_F(StorageFile, ZlibInflatesEveryFileWeWriteToTheValueStream) {
    const std::string path = PathOf("table.dat");
    ComPtr<ISafeArray> empty = CreateValueArray();
    empty->SetBounds(0, 3);
    ComPtr<ISafeArray> goods = TableOfGoods();
    for (ComPtr<ISafeArray> table : {MixedTable(), LargeTable(), empty, goods}) {
        ASSERT_EQ(Save(table.Get(), path), VARIANT_TRUE);
        const std::string file = Read(path);
        const std::string expected = ValueStreamOf(table.Get());
        std::string raw(expected.size() + 16, '\0');
        uLongf rawSize = raw.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                             reinterpret_cast<const Bytef*>(file.data() + 31), file.size() - 31),
                  Z_OK);
        raw.resize(rawSize);
        EXPECT_EQ(raw, expected);
        EXPECT_EQ(U32(file, 27), expected.size());
        if (table == goods) {
            EXPECT_LE(static_cast<double>(file.size() - 31),
                      static_cast<double>(Compress2(expected, 9).size()) * 1.01);
        }
    }
}

// Files written by zlib's compress2 at level 9, as earlier versions saved them: one kept from
// such a version (200 rows of numbers, texts, flags and GUID texts), and one made here.
TEST_F(StorageFile, FilesCompressedByZlibLoad) {
    ComPtr<ISafeArray> kept = CreateValueArray();
    std::int16_t ok = 0;
    const std::string keptPath = std::string(QUILL_TEST_DATA) + "/exchange/storage_zlib_level9.dat";
    ASSERT_EQ(Load(kept.Get(), keptPath, &ok).first, S_OK);
    ASSERT_EQ(ok, VARIANT_TRUE);
    std::int32_t rows = 0, columns = 0;
    kept->GetBounds(&rows, &columns);
    ASSERT_EQ(rows, 200);
    ASSERT_EQ(columns, 6);
    for (int i : {0, 1, 5, 77, 199}) {
        OleVariant number, text, real, flag, guid, none;
        kept->GetValue(i, 0, &number);
        kept->GetValue(i, 1, &text);
        kept->GetValue(i, 2, &real);
        kept->GetValue(i, 3, &flag);
        kept->GetValue(i, 4, &guid);
        kept->GetValue(i, 5, &none);
        EXPECT_EQ(number.vt, VT_I4);
        EXPECT_EQ(number.lVal, i * 7);
        EXPECT_EQ(rtl::VarToWide(text), u"Сканер №" + std::u16string(1, u'А' + i % 32));
        EXPECT_EQ(real.dblVal, i * 0.25);
        EXPECT_EQ(flag.boolVal, i % 3 == 0 ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(rtl::VarToWide(guid), i % 5 ? u"{70231714-9996-413C-BFBB-F504227138B8}" : u"");
        EXPECT_EQ(none.vt, VT_EMPTY);
    }

    const std::string path = PathOf("zlib.dat");
    ComPtr<ISafeArray> table = LargeTable();
    const std::string raw = ValueStreamOf(table.Get());
    Write(path, Wrapped(Compress2(raw, 9), static_cast<std::uint32_t>(raw.size())));
    ComPtr<ISafeArray> loaded = CreateValueArray();
    ASSERT_EQ(Load(loaded.Get(), path, &ok).first, S_OK);
    ASSERT_EQ(ok, VARIANT_TRUE);
    ExpectSameCells(table.Get(), loaded.Get());
}

// The stored length is the area the data may fill: a stream that ends short of it loads with
// the bytes it produced, as it always has.
TEST_F(StorageFile, AStreamEndingShortOfTheStoredLengthLoadsWhatItProduced) {
    const std::string path = PathOf("table.dat");
    ComPtr<ISafeArray> table = MixedTable();
    const std::string raw = ValueStreamOf(table.Get());
    Write(path, Wrapped(Compress2(raw, 9), static_cast<std::uint32_t>(raw.size() + 100)));
    ComPtr<ISafeArray> loaded = CreateValueArray();
    std::int16_t ok = 0;
    ASSERT_EQ(Load(loaded.Get(), path, &ok).first, S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ExpectSameCells(table.Get(), loaded.Get());
}

TEST_F(StorageFile, EveryLoadCheckFailsInItsOrderAndLeavesTheTableAlone) {
    ComPtr<ISafeArray> table = MixedTable();
    const std::string path = PathOf("table.dat");
    ASSERT_EQ(Save(table.Get(), path), VARIANT_TRUE);
    const std::string good = Read(path);

    ComPtr<ISafeArray> target = CreateValueArray();
    target->SetBounds(1, 1);
    target->SetValue(0, 0, OleVariant(u"keep"));
    auto expectRefused = [&](const std::string& bytes, const std::u16string& message) {
        Write(path, bytes);
        std::int16_t ok = 1;
        auto [hr, text] = Load(target.Get(), path, &ok);
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(text, message);
        EXPECT_EQ(ok, VARIANT_FALSE);
        OleVariant cell;
        target->GetValue(0, 0, &cell);
        EXPECT_EQ(rtl::VarToWide(cell), u"keep");
    };
    expectRefused(good.substr(0, good.size() - 1), u"Хранилище повреждено - неверный размер файла");
    expectRefused(good.substr(0, 10), u"Хранилище повреждено - неверный размер файла");
    expectRefused("", u"Хранилище повреждено - неверный размер файла");
    std::string bad = good;
    bad[3] = 'x';
    expectRefused(bad, u"Файл не является хранилищем ISafeArray");
    bad = good;
    bad[10] = 2;
    expectRefused(bad, u"Неверная версия хранилища");
    for (std::size_t at : {std::size_t{31}, good.size() / 2, good.size() - 1}) {
        bad = good;
        bad[at] ^= 0x40;
        expectRefused(bad, u"Хранилище повреждено - неверная контрольная сумма данных");
    }
    bad = good;
    const std::uint32_t shorter = U32(good, 27) - 1;
    std::memcpy(&bad[27], &shorter, 4);
    expectRefused(bad, u"Ошибка распаковки данных");
    const std::uint32_t huge = 0xFFFFFFF0u;
    std::memcpy(&bad[27], &huge, 4);
    expectRefused(bad, u"Ошибка распаковки данных");

    // Streams that a stream reader and a whole-buffer reader could judge differently, each with
    // a right checksum over its bytes: bytes after the stream's end, a wrong Adler-32, a stream
    // cut short, a preset dictionary the file cannot supply.
    const std::string raw = ValueStreamOf(table.Get());
    const auto rawLength = static_cast<std::uint32_t>(raw.size());
    const std::string packed = Compress2(raw, 9);
    expectRefused(Wrapped(packed + std::string("\0", 1), rawLength), u"Ошибка распаковки данных");
    expectRefused(Wrapped(packed + packed, rawLength * 2), u"Ошибка распаковки данных");
    std::string wrongSum = packed;
    wrongSum.back() ^= 1;
    expectRefused(Wrapped(wrongSum, rawLength), u"Ошибка распаковки данных");
    expectRefused(Wrapped(packed.substr(0, packed.size() - 4), rawLength),
                  u"Ошибка распаковки данных");
    std::string dictionary = packed;
    const unsigned method = static_cast<unsigned char>(packed[0]);
    unsigned flags = (static_cast<unsigned char>(packed[1]) & 0xC0u) | 0x20u; // FDICT set
    flags += (31 - (method * 256 + flags) % 31) % 31; // the header's own check stays right
    dictionary[1] = static_cast<char>(flags);
    expectRefused(Wrapped(dictionary, rawLength), u"Ошибка распаковки данных");

    // A valid file whose value is no table.
    TMyMemoryStream stream;
    WriteValue(stream, OleVariant(5));
    stream.Write(std::string(64, 'a').data(), 64); // padding so that the data compresses
    expectRefused(BuildStorageImage(stream.Memory, stream.Size, 0),
                  u"Файл не является хранилищем ISafeArray");

    std::int16_t ok = 1;
    EXPECT_EQ(Load(target.Get(), PathOf("missing.dat"), &ok).first, S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

namespace {

// Whether zlib's compress2 at level 9 packs `raw` into an area as large as `raw` itself: a table
// it can store there must save.
bool ZlibStores(const std::string& raw) {
    std::string packed(raw.size(), '\0');
    uLongf size = packed.size();
    return compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                     reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) == Z_OK;
}

ComPtr<ISafeArray> RowOf(const std::vector<OleVariant>& cells) {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(1, static_cast<std::int32_t>(cells.size()));
    for (std::size_t j = 0; j < cells.size(); ++j)
        table->SetValue(0, static_cast<std::int32_t>(j), cells[j]);
    return table;
}

} // namespace

// Small tables leave the compressor little room: a few bytes over the stream's length must not
// make a table that packs below its length unsaveable.
TEST_F(StorageFile, SmallAndBarelyCompressibleTablesSaveWheneverZlibStoresThem) {
    std::vector<ComPtr<ISafeArray>> tables = {
        RowOf({OleVariant(7), OleVariant(u"Товар")}),
        RowOf({OleVariant(1.5), OleVariant(2.25)}),
        RowOf({OleVariant(0.1), OleVariant(2.7), OleVariant(-3.9)}),
        RowOf({OleVariant(1e300), OleVariant(-2e-300), OleVariant(3.14159), OleVariant(42.0)}),
    };
    // Random reals in up to 3 x 6 cells; random integers in 3 x 2 cells, which the fast
    // compression setting packs into a byte more than they take while a thorough one halves them.
    std::mt19937 random(67);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    for (int k = 0; k < 60; ++k) {
        ComPtr<ISafeArray> table = CreateValueArray();
        const bool reals = k < 40;
        const int rows = reals ? 1 + static_cast<int>(random() % 3) : 3;
        const int columns = reals ? 1 + static_cast<int>(random() % 6) : 2;
        table->SetBounds(rows, columns);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < columns; ++j)
                table->SetValue(i, j,
                                reals ? OleVariant(real(random))
                                      : OleVariant(static_cast<std::int32_t>(random())));
        tables.push_back(table);
    }
    const std::string path = PathOf("small.dat");
    int saved = 0;
    for (std::size_t n = 0; n < tables.size(); ++n) {
        ISafeArray* table = tables[n].Get();
        const std::string raw = ValueStreamOf(table);
        std::int16_t ok = 0;
        const HRESULT hr = table->SaveToFile(BStr(kernel::Utf8ToWide(path)).Get(), &ok);
        const std::u16string error = FAILED(hr) ? TakeErrorDescription() : u"";
        if (ZlibStores(raw)) {
            ASSERT_EQ(hr, S_OK) << "table " << n << " of " << raw.size()
                                << " bytes: " << kernel::WideToUtf8(error);
        } else if (FAILED(hr)) {
            EXPECT_EQ(error, u"Ошибка при упаковке") << "table " << n;
            continue;
        }
        ++saved;
        ASSERT_EQ(ok, VARIANT_TRUE);
        const std::string file = Read(path);
        EXPECT_LE(file.size() - StorageHeaderSize, raw.size()) << "table " << n;
        ComPtr<ISafeArray> loaded = CreateValueArray();
        ASSERT_EQ(Load(loaded.Get(), path, &ok).first, S_OK) << "table " << n;
        ExpectSameCells(table, loaded.Get());
    }
    EXPECT_GE(saved, 4);
}

TEST_F(StorageFile, AFailedSaveLeavesThePreviousFileWhole) {
    const std::string path = PathOf("table.dat");
    ASSERT_EQ(Save(MixedTable().Get(), path), VARIANT_TRUE);
    const std::string before = Read(path);

    // Random bytes do not shrink under compression.
    const SAFEARRAYBOUND bounds[2] = {{64, 0}, {64, 0}};
    SAFEARRAY* noise = SafeArrayCreate(VT_UI1, 2, bounds);
    std::mt19937 random(7);
    for (int i = 0; i < 64 * 64; ++i)
        static_cast<unsigned char*>(noise->pvData)[i] = static_cast<unsigned char>(random());
    ComPtr<ISafeArray> table = CreateValueArray();
    ASSERT_EQ(table->SetPSA(noise), S_OK);
    std::int16_t ok = 1;
    EXPECT_TRUE(FAILED(table->SaveToFile(BStr(kernel::Utf8ToWide(path)).Get(), &ok)));
    EXPECT_EQ(TakeErrorDescription(), u"Ошибка при упаковке");
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(Read(path), before);
    EXPECT_TRUE(FAILED(table->SaveToFile(BStr(kernel::Utf8ToWide(PathOf("new.dat"))).Get(), &ok)));
    EXPECT_FALSE(fs::exists(PathOf("new.dat")));

    // A folder that does not exist: an error, and nothing left anywhere.
    EXPECT_TRUE(FAILED(
        MixedTable()->SaveToFile(BStr(kernel::Utf8ToWide(PathOf("no/such.dat"))).Get(), &ok)));
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(StorageFile, ThePlainByteFileRoundTripsBytesOnly) {
    const std::string in = PathOf("bytes.bin"), out = PathOf("copy.bin");
    Write(in, std::string("0123456789", 10));
    ComPtr<ISafeArray> table = CreateValueArray();
    std::int16_t ok = 0;
    EXPECT_EQ(table->LoadFromFileAsStream(BStr(kernel::Utf8ToWide(in)).Get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    std::int32_t rows = 0, columns = 0, type = 0;
    table->GetBounds(&rows, &columns);
    table->ElementType(&type);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(columns, 10);
    EXPECT_EQ(type, VT_UI1);
    OleVariant cell;
    table->GetValue(0, 3, &cell);
    EXPECT_EQ(cell.bVal, '3');
    EXPECT_EQ(table->SaveToFileAsStream(BStr(kernel::Utf8ToWide(out)).Get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(Read(out), "0123456789");

    // A table of variants is not written as bytes; a missing file changes nothing.
    ComPtr<ISafeArray> variants = MixedTable();
    EXPECT_EQ(variants->SaveToFileAsStream(BStr(kernel::Utf8ToWide(PathOf("v.bin"))).Get(), &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_FALSE(fs::exists(PathOf("v.bin")));
    EXPECT_EQ(table->LoadFromFileAsStream(BStr(kernel::Utf8ToWide(PathOf("none"))).Get(), &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    table->GetBounds(&rows, &columns);
    EXPECT_EQ(columns, 10);
}

namespace {

// A value array that does not let the loader take its table: the loader must copy it through
// the late-bound "__PSA".
class TForeignTable : public TSafeArray {
  protected:
    bool QueryOwnInterface(REFIID iid, void** object) override {
        return iid != ImplementationGuid && TSafeArray::QueryOwnInterface(iid, object);
    }
};

class TForeignFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IUnknown::Guid && iid != IClassFactory::Guid) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** object) override {
        ++Created;
        return CreateComObject<TForeignTable>()->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(bool) override { return S_OK; }
    int Created = 0;
};

} // namespace

TEST_F(StorageFile, LoadingCopiesTheArrayOfAValueArrayItDidNotMake) {
    const std::string path = PathOf("table.dat");
    ASSERT_EQ(Save(MixedTable().Get(), path), VARIANT_TRUE);
    RevokeValueArrayClass();
    TForeignFactory factory;
    ASSERT_EQ(RegisterClassFactory({u"AddIn", u"SafeArray", ValueArrayClassGuid,
                                    TClassInstancing::MultiInstance, TThreadingModel::Free},
                                   &factory),
              S_OK);
    ComPtr<ISafeArray> target = CreateValueArray();
    std::int16_t ok = 0;
    EXPECT_EQ(Load(target.Get(), path, &ok).first, S_OK);
    EXPECT_EQ(factory.Created, 2); // the target and the decoded table
    OleVariant cell;
    ASSERT_EQ(target->GetValue(2, 1, &cell), S_OK);
    EXPECT_EQ(rtl::VarToWide(cell), u"строка c");
    RevokeValueArrayClass();
}
