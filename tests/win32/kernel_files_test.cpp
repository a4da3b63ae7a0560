// The file rules over the system's own files: errors named from the system's codes, whole-file
// replacement, the log folder's access list, and the log's file lock.
#include "platform/kernel/fault_injection.h"
#include "platform/kernel/file_error.h"
#include "platform/kernel/file_lock.h"
#include "platform/kernel/file_replace.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/named_file_read.h"
#include "win32/scratch_folder.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cerrno>
#include <fstream>
#include <vector>

namespace quill::kernel {
namespace {

namespace fs = std::filesystem;
using test::TScratchFolder;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Names(const TScratchFolder& folder) {
    std::vector<std::string> names;
    const TFileHandle handle = OpenFolder(folder.Path(), TFolderUse::Walk);
    EXPECT_TRUE(ListFolder(handle, names).Ok());
    return names;
}

TFileError Replace(const std::string& path, std::string_view text) {
    const TFilePiece pieces[] = {{text.data(), text.size() / 2},
                                 {text.data() + text.size() / 2, text.size() - text.size() / 2}};
    return ReplaceFileContents(path, pieces);
}

TEST(Win32FileErrors, TheSystemsCodesHaveTheirNamesAndResults) {
    TScratchFolder scratch;
    const TFileHandle folder = OpenFolder(scratch.Path(), TFolderUse::Walk);
    ASSERT_TRUE(folder) << folder.Error().Text();

    const TFileHandle missing =
        OpenFileAt(folder, "missing.txt", TFileAccess::Read, TCreation::Existing, 0, false);
    EXPECT_TRUE(missing.Error().Is(TFileError::NotFound));
    EXPECT_EQ(missing.Error().SystemCode(), ERROR_FILE_NOT_FOUND);
    // The system's own words (Wine's differ from Windows'), without the closing full stop.
    EXPECT_FALSE(missing.Error().Text().empty());
    EXPECT_NE(missing.Error().Text().back(), '.');

    ASSERT_TRUE(OpenFileAt(folder, "taken.txt", TFileAccess::Write, TCreation::New, 0, false));
    EXPECT_TRUE(OpenFileAt(folder, "taken.txt", TFileAccess::Write, TCreation::New, 0, false)
                    .Error()
                    .Is(TFileError::Exists));

    // A folder is no file, and a device name is refused before anything is opened.
    fs::create_directory(scratch.Native() / "inner");
    EXPECT_TRUE(OpenFileAt(folder, "inner", TFileAccess::Read, TCreation::Existing, 0, false)
                    .Error()
                    .Is(TFileError::AccessDenied));
    for (const char* device : {"CON", "nul.txt", "COM1", "lpt2.log"})
        EXPECT_TRUE(OpenFileAt(folder, device, TFileAccess::Read, TCreation::OrCreate, 0, false)
                        .Error()
                        .Is(TFileError::AccessDenied))
            << device;
    EXPECT_FALSE(fs::exists(scratch.Native() / "nul.txt"));

    TResolvedPath where;
    EXPECT_TRUE(ResolvePath(scratch.Path("inner/"), where).Is(TFileError::IsFolder));
    EXPECT_TRUE(ResolvePath(scratch.Path("none/file.txt"), where).Is(TFileError::NotFound));
    ASSERT_TRUE(ResolvePath(scratch.Path("inner\\new.txt"), where).Ok());
    EXPECT_EQ(where.Name, "new.txt");

    // The result a COM caller sees keeps the system's code; memory and folders read as usual.
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::AccessDenied)),
              static_cast<com::HRESULT>(0x80070005));
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::NoSpace)),
              static_cast<com::HRESULT>(0x80070070));
    EXPECT_EQ(HResultFromFileError(TFileError::FromSystem(ERROR_SHARING_VIOLATION)),
              static_cast<com::HRESULT>(0x80070020));
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::IsFolder)),
              static_cast<com::HRESULT>(0x80070005));
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::OutOfMemory)),
              static_cast<com::HRESULT>(0x8007000E));
    for (int kind = TFileError::None; kind <= TFileError::Other; ++kind)
        EXPECT_EQ(TFileError::Of(static_cast<TFileError::TKind>(kind)).Kind(), kind);
}

TEST(Win32FileErrors, ReadsRefuseTooLargeFilesAndAppendsGoToTheEnd) {
    TScratchFolder scratch;
    const TFileHandle folder = OpenFolder(scratch.Path(), TFolderUse::Walk);
    {
        const TFileHandle file =
            OpenFileAt(folder, "log.txt", TFileAccess::Append, TCreation::OrCreate, 0644, false);
        const TFileHandle other =
            OpenFileAt(folder, "log.txt", TFileAccess::Append, TCreation::OrCreate, 0644, false);
        ASSERT_TRUE(file && other);
        EXPECT_TRUE(WriteAll(file, "one\n", 4).Ok());
        EXPECT_TRUE(WriteAll(other, "two\n", 4).Ok());
        EXPECT_TRUE(WriteAll(file, "three\n", 6).Ok());
    }
    std::string contents;
    EXPECT_TRUE(ReadFileAt(scratch.Path("log.txt"), contents).Ok());
    EXPECT_EQ(contents, "one\ntwo\nthree\n");
    EXPECT_TRUE(ReadFileAt(scratch.Path("log.txt"), contents, 13).Is(TFileError::TooLarge));
    EXPECT_TRUE(RegularFileExists(scratch.Path("log.txt")));
    EXPECT_FALSE(RegularFileExists(scratch.Path("")));
    EXPECT_FALSE(RegularFileExists(scratch.Path("NUL")));

    // A file a user names: read whole, or refused in words that say what is wrong with it.
    std::string why;
    EXPECT_TRUE(ReadNamedFile(scratch.Path("log.txt"), 100, contents, why));
    EXPECT_EQ(contents, "one\ntwo\nthree\n");
    EXPECT_FALSE(ReadNamedFile(scratch.Path("log.txt"), 13, contents, why));
    EXPECT_EQ(why, "is larger than the limit of 13 bytes");
    EXPECT_TRUE(contents.empty());
    EXPECT_FALSE(ReadNamedFile(scratch.Path("missing.txt"), 100, contents, why));
    EXPECT_EQ(why, "no such file");
    fs::create_directory(scratch.Native() / "folder");
    EXPECT_FALSE(ReadNamedFile(scratch.Path("folder"), 100, contents, why));
    EXPECT_EQ(why, "is a folder, not a regular file");
}

TEST(Win32FileErrors, AShortAppendKeepsOnlyWholeRecords) {
    TScratchFolder scratch;
    const TFileHandle folder = OpenFolder(scratch.Path(), TFolderUse::Walk);
    const TFileHandle file =
        OpenFileAt(folder, "log.txt", TFileAccess::Append, TCreation::OrCreate, 0644, false);
    ASSERT_TRUE(WriteAll(file, "kept\n", 5).Ok());
    ArmFault(TFaultKind::Write, 1, ENOSPC, true);
    TFileError why;
    // Half of the 12 bytes go out before the disk is full; of them, the one whole record stays.
    const std::size_t stayed = AppendWhole(
        file, "rec1\nrecord2\n", [](std::size_t written) { return written >= 5 ? 5 : 0; }, &why);
    DisarmFaults();
    EXPECT_TRUE(why.Is(TFileError::NoSpace));
    EXPECT_EQ(stayed, 5u);
    EXPECT_EQ(ReadText(scratch.Native() / "log.txt"), "kept\nrec1\n");
}

TEST(Win32ReplaceWhole, ANewFileOrTheOldOneWholeAndNoCopyLeftBehind) {
    TScratchFolder scratch;
    const std::string target = scratch.Path("table.dat");
    ASSERT_TRUE(Replace(target, "first version").Ok());
    EXPECT_EQ(ReadText(scratch.Native() / "table.dat"), "first version");
    ASSERT_TRUE(Replace(target, "second").Ok());
    EXPECT_EQ(ReadText(scratch.Native() / "table.dat"), "second");
    EXPECT_EQ(Names(scratch), std::vector<std::string>{"table.dat"});
    EXPECT_FALSE(::GetFileAttributesW((scratch.Native() / "table.dat").c_str()) &
                 FILE_ATTRIBUTE_HIDDEN);

    // Whichever step fails, the previous file stays whole and the temporary copy goes.
    const std::pair<TFaultKind, int> failures[] = {{TFaultKind::Open, EACCES},
                                                   {TFaultKind::Write, ENOSPC},
                                                   {TFaultKind::Fsync, EIO},
                                                   {TFaultKind::Rename, EXDEV}};
    for (const auto& [kind, error] : failures) {
        ArmFault(kind, 1, error, true);
        const TFileError failed = Replace(target, "never saved");
        DisarmFaults();
        EXPECT_TRUE(failed.Failed()) << static_cast<int>(kind);
        EXPECT_EQ(ReadText(scratch.Native() / "table.dat"), "second") << static_cast<int>(kind);
        EXPECT_EQ(Names(scratch), std::vector<std::string>{"table.dat"}) << static_cast<int>(kind);
    }
    ArmFault(TFaultKind::Write, 1, ENOSPC, true);
    EXPECT_TRUE(Replace(target, "never saved").Is(TFileError::NoSpace));
    DisarmFaults();

    // A folder under the name is never replaced.
    fs::create_directory(scratch.Native() / "folder.dat");
    EXPECT_TRUE(Replace(scratch.Path("folder.dat"), "x").Is(TFileError::AccessDenied));
    EXPECT_TRUE(fs::is_directory(scratch.Native() / "folder.dat"));
    EXPECT_TRUE(Replace(scratch.Path("missing/table.dat"), "x").Is(TFileError::NotFound));
}

TEST(Win32ReplaceWhole, CopiesOfDeadSavesGoAndThoseOfLiveOnesStay) {
    TScratchFolder scratch;
    const std::string live =
        ".table.dat." + std::to_string(::GetCurrentProcessId()) + ".00000000000000aa.tmp";
    // Process ids are multiples of four below this one; none runs under it.
    const std::string dead = ".table.dat.99999996.00000000000000bb.tmp";
    std::ofstream(scratch.Native() / live) << "live";
    std::ofstream(scratch.Native() / dead) << "dead";
    std::ofstream(scratch.Native() / ".table.dat.notes.tmp") << "not a copy";
    ASSERT_TRUE(Replace(scratch.Path("table.dat"), "saved").Ok());
    EXPECT_TRUE(fs::exists(scratch.Native() / live));
    EXPECT_FALSE(fs::exists(scratch.Native() / dead));
    EXPECT_TRUE(fs::exists(scratch.Native() / ".table.dat.notes.tmp"));
}

// The access list of `path`, in the system's text form.
std::wstring AccessListOf(const fs::path& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
    std::wstring result = text ? text : L"";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return result;
}

// Gives `path` the access list `sddl` ("D:..."), or none at all for nullptr.
bool SetAccessList(const fs::path& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (sddl) {
        BOOL present = FALSE, defaulted = FALSE;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                    &descriptor, nullptr) ||
            !::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
            return false;
    }
    std::wstring name = path.wstring();
    const DWORD result = ::SetNamedSecurityInfoW(
        name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

// Whether the system keeps the access lists given to files (Wine keeps none: it makes one up
// from the file's Unix mode).
bool KeepsAccessLists(const TScratchFolder& scratch) {
    const fs::path probe = scratch.Native() / "probe";
    fs::create_directory(probe);
    SetAccessList(probe, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    const bool kept = AccessListOf(probe).rfind(L"D:P", 0) == 0;
    fs::remove(probe);
    return kept;
}

TEST(Win32LogFolder, ASharedFolderGetsAnAccessListThatKeepsUsersApart) {
    TScratchFolder scratch;
    if (!KeepsAccessLists(scratch))
        GTEST_SKIP() << "this system keeps no access lists on files (Wine derives them from Unix "
                        "modes), so the one the shared log folder is made with cannot be read back";
    const TFileHandle parent = OpenFolder(scratch.Path(), TFolderUse::Walk);
    const TFileHandle logs = MakeFolderAt(parent, "LOGs", 01777, TFolderUse::Shared);
    ASSERT_TRUE(logs) << logs.Error().Text();
    const std::wstring acl = AccessListOf(scratch.Native() / "LOGs");
    // Protected; every user may add files and folders (0x1200AF: list, add file, add folder, read
    // and traverse) but holds full control of what they made only (CREATOR OWNER, inherited).
    EXPECT_EQ(acl.rfind(L"D:P", 0), 0u) << acl;
    EXPECT_NE(acl.find(L"(A;;0x1200af;;;AU)"), std::wstring::npos) << acl;
    EXPECT_NE(acl.find(L"IO;FA;;;CO)"), std::wstring::npos) << acl;
    EXPECT_EQ(acl.find(L"WD)"), std::wstring::npos) << acl;
}

TEST(Win32LogFolder, FoldersAndFilesThatEveryoneMayWriteAreRefused) {
    TScratchFolder scratch;
    const TFileHandle parent = OpenFolder(scratch.Path(), TFolderUse::Walk);
    const TFileHandle logs = MakeFolderAt(parent, "LOGs", 01777, TFolderUse::Shared);
    ASSERT_TRUE(logs) << logs.Error().Text();
    EXPECT_TRUE(IsSharedFolder(logs));
    EXPECT_TRUE(MakeFolderAt(parent, "LOGs", 01777, TFolderUse::Shared)); // the same one again

    // A folder that everyone may write into freely, or one without any access list, is neither
    // shared nor private, though it may be walked through.
    fs::create_directory(scratch.Native() / "open");
    fs::create_directory(scratch.Native() / "nil");
    ASSERT_TRUE(SetAccessList(scratch.Native() / "open", L"D:(A;OICI;FA;;;WD)"));
    ASSERT_TRUE(SetAccessList(scratch.Native() / "nil", nullptr));
    for (const char* name : {"open", "nil"}) {
        EXPECT_TRUE(
            OpenFolderAt(parent, name, TFolderUse::Shared).Error().Is(TFileError::AccessDenied))
            << name;
        EXPECT_TRUE(MakeFolderAt(parent, name, 01777, TFolderUse::Shared)
                        .Error()
                        .Is(TFileError::AccessDenied))
            << name;
        EXPECT_TRUE(
            OpenFolderAt(parent, name, TFolderUse::Private).Error().Is(TFileError::AccessDenied))
            << name;
        EXPECT_TRUE(OpenFolderAt(parent, name, TFolderUse::Walk)) << name;
    }
    // One where only its owner and the system may write is private.
    fs::create_directory(scratch.Native() / "own");
    ASSERT_TRUE(SetAccessList(scratch.Native() / "own",
                              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;OW)(A;OICI;FR;;;WD)"));
    EXPECT_TRUE(OpenFolderAt(parent, "own", TFolderUse::Private));

    // A file that everyone may write is refused where only the caller's own will do.
    std::ofstream(scratch.Native() / "own" / "planted.log") << "x";
    ASSERT_TRUE(SetAccessList(scratch.Native() / "own" / "planted.log", L"D:(A;;FA;;;WD)"));
    const TFileHandle own = OpenFolderAt(parent, "own", TFolderUse::Private);
    EXPECT_TRUE(OpenFileAt(own, "planted.log", TFileAccess::Append, TCreation::OrCreate, 0644, true)
                    .Error()
                    .Is(TFileError::AccessDenied));
    EXPECT_TRUE(
        OpenFileAt(own, "planted.log", TFileAccess::Append, TCreation::OrCreate, 0644, false));
}

TEST(Win32FileLock, OneHolderAtATimeAndWaitsEnd) {
    TScratchFolder scratch;
    const TFileHandle folder = OpenFolder(scratch.Path(), TFolderUse::Walk);
    TFileLock first(folder, "log.lock");
    TFileLock second(folder, "log.lock");
    ASSERT_TRUE(first.Valid() && second.Valid());
    ASSERT_TRUE(first.Lock(0));
    EXPECT_FALSE(second.Lock(0));
    EXPECT_FALSE(second.Lock(5));
    first.Unlock();
    EXPECT_TRUE(second.Lock(0));
    EXPECT_TRUE(second.Held());
    ArmFault(TFaultKind::Lock, 1, ENOLCK);
    EXPECT_FALSE(first.Lock(1000000)); // a failure that is no other holder ends the wait at once
    DisarmFaults();
}

} // namespace
} // namespace quill::kernel
