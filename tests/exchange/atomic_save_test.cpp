// Saving a file where other users can reach: links they plant are not followed, a replaced file
// stays its owner's, a killed save leaves nothing behind, and system errors keep their codes.
#include "exchange/stream/atomic_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/file_error.h"
#include "platform/rtl/exception.h"
#include "support/other_user.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quill;
using namespace quill::exchange;
namespace fs = std::filesystem;

namespace {

constexpr auto kAccessDenied = static_cast<com::HRESULT>(0x80070005);

class AtomicSave : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quill-save-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FRoot = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    std::string Path(const std::string& name) const { return (FRoot / name).string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static com::HRESULT SaveTable(const std::string& path) {
        com::ComPtr<ISafeArray> table = CreateValueArray();
        std::int16_t ok = 0;
        return table->SaveToFile(com::BStr(kernel::Utf8ToWide(path)).Get(), &ok);
    }

    fs::path FRoot;
};

TEST_F(AtomicSave, ALinkPlantedByAnotherUserInASharedFolderIsRefused) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    fs::create_directory(Path("shared"));
    chmod(Path("shared").c_str(), 01777);
    std::ofstream(Path("root-only.conf")) << "keep";
    chmod(Path("root-only.conf").c_str(), 0600);
    fs::create_symlink(Path("root-only.conf"), Path("shared/table.dat"));
    ASSERT_TRUE(test::GiveToOtherUser(Path("shared/table.dat")));

    EXPECT_EQ(SaveTable(Path("shared/table.dat")), kAccessDenied);
    com::TakeErrorDescription();
    EXPECT_EQ(Read(Path("root-only.conf")), "keep");
    EXPECT_TRUE(fs::is_symlink(Path("shared/table.dat")));
    const TFilePiece piece{"x", 1};
    try {
        ReplaceFileContents(Path("shared/table.dat"), {piece});
        ADD_FAILURE() << "the save went through the link";
    } catch (const rtl::EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), kAccessDenied);
    }
    EXPECT_EQ(Read(Path("root-only.conf")), "keep");
}

TEST_F(AtomicSave, AReplacedFileStaysItsOwnersWithItsMode) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    std::ofstream(Path("theirs.dat")) << "old";
    chmod(Path("theirs.dat").c_str(), 0604);
    ASSERT_TRUE(test::GiveToOtherUser(Path("theirs.dat")));
    ASSERT_EQ(SaveTable(Path("theirs.dat")), com::S_OK);
    struct stat st {};
    ASSERT_EQ(stat(Path("theirs.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, test::kOtherUser) << "root's save does not take the file over";
    EXPECT_EQ(st.st_gid, test::kOtherUser);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_NE(Read(Path("theirs.dat")), "old");
}

// In a folder where every user may create files, what stands at the target may be a plant: a
// file of another user (root's save would hand them its data, and its next load their content)
// or a second name of a file that others may write (the save would copy its mode).
TEST_F(AtomicSave, AStickyFolderNeverHandsRootsSaveToAnotherUser) {
    fs::create_directory(Path("shared"));
    chmod(Path("shared").c_str(), 01777);
    std::ofstream(Path("open-lock")) << "";
    chmod(Path("open-lock").c_str(), 0666);
    ASSERT_EQ(link(Path("open-lock").c_str(), Path("shared/linked.dat").c_str()), 0);
    EXPECT_EQ(SaveTable(Path("shared/linked.dat")), kAccessDenied);
    com::TakeErrorDescription();
    EXPECT_EQ(Read(Path("open-lock")), "");
    struct stat st {};
    ASSERT_EQ(stat(Path("shared/linked.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u) << "the planted link stays as it was";
    // The caller's own file there, with one name, is replaced and keeps its mode.
    std::ofstream(Path("shared/own.dat")) << "old";
    chmod(Path("shared/own.dat").c_str(), 0640);
    ASSERT_EQ(SaveTable(Path("shared/own.dat")), com::S_OK);
    ASSERT_EQ(stat(Path("shared/own.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, geteuid());

    QUILL_SKIP_WITHOUT_OTHER_USER();
    std::ofstream(Path("shared/data.dat")) << "theirs";
    chmod(Path("shared/data.dat").c_str(), 0666);
    ASSERT_TRUE(test::GiveToOtherUser(Path("shared/data.dat")));
    EXPECT_EQ(SaveTable(Path("shared/data.dat")), kAccessDenied);
    EXPECT_NE(com::TakeErrorDescription(), u"");
    EXPECT_EQ(Read(Path("shared/data.dat")), "theirs");
    ASSERT_EQ(stat(Path("shared/data.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, test::kOtherUser);
    // In a sticky folder of that user's own, their file is theirs to have replaced, as the kernel
    // lets its owner's files be opened there; it stays theirs.
    fs::create_directory(Path("theirs"));
    chmod(Path("theirs").c_str(), 01777);
    std::ofstream(Path("theirs/data.dat")) << "theirs";
    chmod(Path("theirs/data.dat").c_str(), 0644);
    ASSERT_TRUE(test::GiveToOtherUser(Path("theirs/data.dat")));
    ASSERT_TRUE(test::GiveToOtherUser(Path("theirs")));
    ASSERT_EQ(SaveTable(Path("theirs/data.dat")), com::S_OK);
    ASSERT_EQ(stat(Path("theirs/data.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, test::kOtherUser);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// Names another user can guess are names they can take first: hidden copies named after this
// process, every one of them occupied, must not stop the save.
TEST_F(AtomicSave, OccupiedTemporaryNamesNeverBlockASave) {
    fs::create_directory(Path("shared"));
    chmod(Path("shared").c_str(), 01777);
    const std::string prefix = Path("shared/.table.dat." + std::to_string(getpid()) + ".");
    for (int n = 0; n < 1100; ++n) {
        const std::string name = prefix + std::to_string(n) + ".tmp";
        std::ofstream(name) << "occupied";
        if (test::CanPlantAsOtherUser()) {
            ASSERT_TRUE(test::GiveToOtherUser(name));
        }
    }
    // Copies that dead saves left, named as earlier releases and as this one name them, go.
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string stale = Path("shared/.table.dat." + std::to_string(gone) + ".");
    std::ofstream(stale + "7.tmp") << "stale";
    std::ofstream(stale + "00c0ffee12345678.tmp") << "stale";
    ASSERT_EQ(SaveTable(Path("shared/table.dat")), com::S_OK)
        << kernel::WideToUtf8(com::TakeErrorDescription());
    ASSERT_EQ(SaveTable(Path("shared/table.dat")), com::S_OK);
    EXPECT_EQ(Read(prefix + "0.tmp"), "occupied");
    EXPECT_FALSE(fs::exists(stale + "7.tmp"));
    EXPECT_FALSE(fs::exists(stale + "00c0ffee12345678.tmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("shared")), fs::directory_iterator()), 1101)
        << "the save left a copy of its own behind";
}

TEST_F(AtomicSave, AKilledSaveLeavesNoFileBehind) {
    std::ofstream(Path("table.dat")) << "previous";
    const std::string big(8 << 20, 'q');
    std::mt19937 random(5150);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                ReplaceFileContents(Path("table.dat"), {{big.data(), big.size()}});
        }
        usleep(static_cast<useconds_t>(random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FRoot))
            names.push_back(entry.path().filename().string());
        // A kill between naming the finished copy and the rename may leave that one copy, whole;
        // the next save removes it.
        std::erase_if(names, [&](const std::string& name) {
            return name.starts_with(".table.dat." + std::to_string(child) + ".") &&
                   Read(Path(name)) == big;
        });
        ASSERT_EQ(names, std::vector<std::string>{"table.dat"}) << "round " << round;
        const std::string now = Read(Path("table.dat"));
        ASSERT_TRUE(now == "previous" || now == big) << "round " << round << ": a torn file";
        ReplaceFileContents(Path("table.dat"), {{now.data(), now.size()}});
        names.clear();
        for (const auto& entry : fs::directory_iterator(FRoot))
            names.push_back(entry.path().filename().string());
        ASSERT_EQ(names, std::vector<std::string>{"table.dat"})
            << "round " << round << ": a copy stayed";
    }
}

TEST_F(AtomicSave, SystemErrorsKeepTheirOwnCodes) {
    const auto HResultFromErrno = [](int error) {
        return kernel::HResultFromFileError(kernel::TFileError::FromSystem(error));
    };
    EXPECT_EQ(HResultFromErrno(EACCES), kAccessDenied);
    EXPECT_EQ(HResultFromErrno(EPERM), kAccessDenied);
    EXPECT_EQ(HResultFromErrno(ENOSPC), static_cast<com::HRESULT>(0x80070070));
    EXPECT_EQ(HResultFromErrno(EDQUOT), static_cast<com::HRESULT>(0x80070070));
    EXPECT_EQ(HResultFromErrno(EROFS), static_cast<com::HRESULT>(0x80070013));
    EXPECT_EQ(HResultFromErrno(ENOENT), static_cast<com::HRESULT>(0x80070002));
    EXPECT_EQ(HResultFromErrno(ENOMEM), com::E_OUTOFMEMORY);
}

} // namespace
