// The system's own answers behind the kernel contract: module and program file names and special
// folders in the contract's path form, long paths, the heap, and the library's code-page tables
// against the system's code pages.
#include "platform/kernel/codepage.h"
#include "platform/kernel/fault_injection.h"
#include "platform/kernel/heap.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/local_time.h"
#include "platform/kernel/long_path.h"
#include "platform/kernel/module.h"
#include "platform/kernel/special_folders.h"
#include "win32/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quill::kernel {
namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(fs::u8path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Win32Paths, ModuleProgramAndSpecialFoldersComeInTheContractsForm) {
    const std::string module = ModuleFileNameOf(reinterpret_cast<const void*>(&IsFolder));
    EXPECT_EQ(module, ProgramFileName());
    EXPECT_TRUE(module.ends_with(".exe")) << module;
    EXPECT_EQ(module.find('\\'), std::string::npos) << module;
    EXPECT_TRUE(fs::exists(fs::u8path(module))) << module;

    wchar_t saved[32768] = {};
    const DWORD kept = ::GetEnvironmentVariableW(L"QUILL_DATA_DIR", saved, 32768);
    ::SetEnvironmentVariableW(L"QUILL_DATA_DIR", nullptr);
    const std::string common = SHGetSpecialFolderPath(CSIDL_COMMON_APPDATA, true);
    const std::string own = SHGetSpecialFolderPath(CSIDL_APPDATA, false);
    EXPECT_TRUE(SHGetSpecialFolderPath(0x7777, false).empty());
    test::TScratchFolder scratch;
    ::SetEnvironmentVariableW(L"QUILL_DATA_DIR", (scratch.Native() / L"data").c_str());
    const std::string overridden = SHGetSpecialFolderPath(CSIDL_COMMON_APPDATA, true);
    if (kept)
        ::SetEnvironmentVariableW(L"QUILL_DATA_DIR", saved);
    else
        ::SetEnvironmentVariableW(L"QUILL_DATA_DIR", nullptr);

    for (const std::string& folder : {common, own}) {
        EXPECT_TRUE(IsFolder(folder)) << folder;
        EXPECT_EQ(folder.find('\\'), std::string::npos) << folder;
        EXPECT_NE(folder.back(), '/') << folder;
    }
    EXPECT_NE(common, own);
    EXPECT_EQ(overridden, scratch.Path("data"));
    EXPECT_TRUE(IsFolder(overridden));
}

TEST(Win32Paths, LongPathsOfExistingPathsOnly) {
    test::TScratchFolder scratch;
    fs::create_directories(scratch.Native() / L"Длинное имя папки" / L"inner");
    const std::string full = scratch.Path("Длинное имя папки/inner");
    wchar_t shortPath[MAX_PATH] = {};
    std::string longPath;
    if (::GetShortPathNameW(fs::u8path(full).c_str(), shortPath, MAX_PATH)) {
        const std::u8string text = fs::path(shortPath).generic_u8string();
        const std::string shortForm(text.begin(), text.end());
        ASSERT_TRUE(GetLongPathNameA(shortForm, &longPath)) << shortForm;
        EXPECT_TRUE(longPath.ends_with("Длинное имя папки/inner")) << longPath;
    }
    longPath = "unchanged";
    EXPECT_FALSE(GetLongPathNameA(scratch.Path("missing/inner"), &longPath));
    EXPECT_TRUE(GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(longPath, "unchanged");
}

TEST(Win32LocalTime, TheSystemsZoneShiftsWholeMinutesOnly) {
    // 2026-12-07 09:05:03.004 UTC, a Monday; and a moment before 1970.
    const std::int64_t moments[] = {1796634303004LL, -86400000LL * 365 - 1};
    for (const std::int64_t unixMs : moments) {
        const SYSTEMTIME local = LocalTimeOf(unixMs);
        const std::int64_t millis = ((unixMs % 1000) + 1000) % 1000;
        const std::int64_t seconds = (((unixMs - millis) / 1000) % 60 + 60) % 60;
        EXPECT_EQ(local.wMilliseconds, millis) << unixMs;
        EXPECT_EQ(local.wSecond, seconds) << unixMs;
        EXPECT_GE(local.wYear, unixMs > 0 ? 2026 : 1968) << unixMs;
        EXPECT_LE(local.wDayOfWeek, 6) << unixMs;
    }
    const SYSTEMTIME monday = LocalTimeOf(1796634303004LL);
    EXPECT_EQ(monday.wYear, 2026);
    EXPECT_EQ(monday.wMonth, 12);
    // Whatever the zone, the 7th at 09:05 UTC is still the 6th, 7th or 8th locally.
    EXPECT_LE(std::abs(monday.wDay - 7), 1);
    // The week day goes with the day: December 2026's 7th is a Monday (1).
    EXPECT_EQ((monday.wDayOfWeek + 7 - monday.wDay % 7) % 7, 1);
}

TEST(Win32Heap, BlocksComeFromTheProcessHeapAndCanBeRefused) {
    void* block = HeapReallocate(nullptr, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(::HeapSize(::GetProcessHeap(), 0, block), 16u);
    std::memset(block, 0x5A, 16);
    void* grown = HeapReallocate(block, 1 << 20);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(grown)[15], 0x5A);
    ArmFault(TFaultKind::Allocation, 1, ENOMEM);
    EXPECT_EQ(HeapReallocate(grown, 1 << 21), nullptr);
    DisarmFaults();
    EXPECT_EQ(static_cast<unsigned char*>(grown)[15], 0x5A); // untouched by the refusal
    HeapFreeBlock(grown);
    HeapFreeBlock(nullptr);
    auto* zeroed = static_cast<unsigned char*>(HeapAllocateZeroed(64));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(std::count(zeroed, zeroed + 64, 0), 64);
    HeapFreeBlock(zeroed);
}

// The library converts its own texts, whatever the system's 8-bit code page: every byte must
// read as the system reads that byte in code page 1251 (and 866 for Alt codes).
std::u16string SystemWide(unsigned codePage, unsigned char byte) {
    wchar_t wide[4] = {};
    const char text[1] = {static_cast<char>(byte)};
    const int n = ::MultiByteToWideChar(codePage, 0, text, 1, wide, 4);
    return std::u16string(wide, wide + (n > 0 ? n : 0));
}

TEST(Win32CodePages, EveryByteReadsAsTheSystemsCodePagesReadIt) {
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        EXPECT_EQ(AnsiToWide(std::string(1, static_cast<char>(b))), SystemWide(1251, byte))
            << "byte " << b;
        EXPECT_EQ(std::u16string(1, OemCharToWide(byte)), SystemWide(866, byte)) << "byte " << b;
        // And back: the system's writing of that character is the byte itself.
        const std::u16string wide = SystemWide(1251, byte);
        char back[4] = {};
        const int n =
            ::WideCharToMultiByte(1251, 0, reinterpret_cast<const wchar_t*>(wide.data()),
                                  static_cast<int>(wide.size()), back, 4, nullptr, nullptr);
        EXPECT_EQ(WideToAnsi(wide), std::string(back, n > 0 ? n : 0)) << "byte " << b;
    }
}

} // namespace
} // namespace quill::kernel
