// What the storage file does that only Linux shows: a save through a symbolic link, and the
// refusal of a file too large to be one, checked with a child's address space limited (setrlimit)
// so that reading it would fail.
#include "exchange/valuearray/value_array_class.h"
#include "exchange/valuearray/value_array_object.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

using namespace quill;
using namespace quill::com;
using namespace quill::exchange;
namespace fs = std::filesystem;

namespace {

class StorageFileLinux : public testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quill-storage-linux-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }
    std::string PathOf(const char* name) const { return (FFolder / name).string(); }

    fs::path FFolder;
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ComPtr<ISafeArray> SmallTable() {
    ComPtr<ISafeArray> table = CreateValueArray();
    table->SetBounds(2, 2);
    table->SetValue(0, 0, OleVariant(1));
    table->SetValue(1, 1, OleVariant(u"строка"));
    return table;
}

std::pair<HRESULT, std::u16string> Load(ISafeArray* table, const std::string& path,
                                        std::int16_t* ok) {
    const HRESULT hr = table->LoadFromFile(BStr(kernel::Utf8ToWide(path)).Get(), ok);
    return {hr, FAILED(hr) ? TakeErrorDescription() : u""};
}

} // namespace

TEST_F(StorageFileLinux, SavingThroughALinkReplacesTheLinkedFile) {
    const std::string real = PathOf("real.dat"), link = PathOf("link.dat");
    { std::ofstream(real, std::ios::binary) << "old"; }
    fs::create_symlink(real, link);
    std::int16_t ok = 0;
    ASSERT_EQ(SmallTable()->SaveToFile(BStr(kernel::Utf8ToWide(link)).Get(), &ok), S_OK);
    ASSERT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real).substr(1, 9), "SaFeArRaY");
}

// A file larger than any storage file (header and the longest value stream) is refused by its
// size before it is read: the child below may not even map that much memory.
TEST_F(StorageFileLinux, AFileTooLargeForAStorageIsRefusedBeforeItIsRead) {
    const std::string path = PathOf("huge.dat");
    { std::ofstream(path, std::ios::binary) << "x"; }
    ASSERT_EQ(truncate(path.c_str(), 3LL << 30), 0); // 3 GB, sparse
    auto load = [&] {
        ComPtr<ISafeArray> target = CreateValueArray();
        target->SetBounds(1, 1);
        target->SetValue(0, 0, OleVariant(u"keep"));
        std::int16_t ok = 1;
        auto [hr, text] = Load(target.Get(), path, &ok);
        OleVariant cell;
        target->GetValue(0, 0, &cell);
        return FAILED(hr) && ok == VARIANT_FALSE &&
               text == u"Хранилище повреждено - неверный размер файла" &&
               rtl::VarToWide(cell) == u"keep";
    };
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(load()); // the sanitizer needs its address space: no limit here
#else
    auto loadWithLittleMemory = [&] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 1ull << 30;
        setrlimit(RLIMIT_AS, &limit);
        std::exit(load() ? 0 : 1);
    };
    EXPECT_EXIT(loadWithLittleMemory(), testing::ExitedWithCode(0), "");
#endif
}
