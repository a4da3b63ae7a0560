// Storage files cross between the two systems: Linux compresses with libdeflate and Windows with
// zlib alone, and each must load what the other wrote. The committed files were saved by the
// disabled test below, once on each system; rerun it there to write them again:
//   QUILL_STORAGE_SAMPLE=<path> <test program> --gtest_also_run_disabled_tests
//       --gtest_filter=StorageFileSystems.DISABLED_WriteTheSampleOfThisSystem
#include "exchange/stream/memory_stream.h"
#include "exchange/stream/value_stream.h"
#include "exchange/valuearray/storage_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "exchange/valuearray/value_array_object.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <zlib.h>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;

namespace {

// Numbers, Cyrillic texts, reals, flags and empty cells, enough rows for several deflate blocks'
// worth of matches.
ComPtr<ISafeArray> SampleTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(400, 5);
    for (int i = 0; i < 400; ++i) {
        table->SetValue(i, 0, OleVariant(i * 13 - 1000));
        table->SetValue(i, 1, OleVariant(u"Товар №" + std::u16string(1 + i % 7, u'А' + i % 32)));
        table->SetValue(i, 2, OleVariant(i / 8.0));
        table->SetValue(i, 3, OleVariant(i % 4 == 0));
    }
    return table;
}

std::string ValueStreamOf(ISafeArray* table) {
    TMyMemoryStream stream;
    WriteArray(stream, static_cast<TSafeArray*>(table)->PSA(), VT_VARIANT);
    return std::string(reinterpret_cast<char*>(stream.Memory), stream.Size);
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string SamplePath(const char* system) {
    return std::string(QUILL_TEST_DATA) + "/exchange/storage_written_on_" + system + ".dat";
}

// Loads `path` and gives the value stream of what it holds (empty after a failure).
std::string LoadedStream(const std::string& path) {
    ComPtr<ISafeArray> loaded = CreateValueArray();
    std::int16_t ok = 0;
    const HRESULT hr = loaded->LoadFromFile(BStr(kernel::Utf8ToWide(path)).Get(), &ok);
    EXPECT_EQ(hr, S_OK) << kernel::WideToUtf8(TakeErrorDescription());
    EXPECT_EQ(ok, VARIANT_TRUE);
    return SUCCEEDED(hr) ? ValueStreamOf(loaded.Get()) : std::string();
}

} // namespace

TEST(StorageFileSystems, FilesWrittenOnEitherSystemLoadOnThisOne) {
    const std::string expected = ValueStreamOf(SampleTable().Get());
    for (const char* system : {"linux", "windows"}) {
        SCOPED_TRACE(system);
        const std::string loaded = LoadedStream(SamplePath(system));
        EXPECT_TRUE(loaded == expected)
            << loaded.size() << " bytes loaded, " << expected.size() << " expected";
    }
    // The Windows file is zlib's level 9 byte for byte, the Linux one libdeflate's own stream:
    // the two loads above read two different compressors' output.
    const std::string windows = Read(SamplePath("windows"));
    const std::string linux = Read(SamplePath("linux"));
    uLongf size = compressBound(static_cast<uLong>(expected.size()));
    std::string level9(size, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(level9.data()), &size,
                        reinterpret_cast<const Bytef*>(expected.data()),
                        static_cast<uLong>(expected.size()), 9),
              Z_OK);
    level9.resize(size);
    ASSERT_GT(windows.size(), StorageHeaderSize);
    EXPECT_TRUE(windows.substr(StorageHeaderSize) == level9);
    EXPECT_FALSE(linux.substr(std::min(linux.size(), StorageHeaderSize)) == level9);
}

TEST(StorageFileSystems, DISABLED_WriteTheSampleOfThisSystem) {
    const char* path = std::getenv("QUILL_STORAGE_SAMPLE");
    ASSERT_NE(path, nullptr) << "set QUILL_STORAGE_SAMPLE to the file to write";
    std::int16_t ok = 0;
    ASSERT_EQ(SampleTable()->SaveToFile(BStr(kernel::Utf8ToWide(path)).Get(), &ok), S_OK)
        << kernel::WideToUtf8(TakeErrorDescription());
    ASSERT_EQ(ok, VARIANT_TRUE);
}
