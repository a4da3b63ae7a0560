// A folder of a test's own under the system's temporary folder, removed with what it holds when the
// test ends; paths in the contract's form (UTF-8, "/").
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace quill::test {

class TScratchFolder {
  public:
    TScratchFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        FPath = std::filesystem::path(temp) /
                (L"quill-kernel-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::filesystem::path& Native() const { return FPath; }
    // `name` inside, as the contract writes paths.
    std::string Path(const std::string& name = {}) const {
        const std::u8string text = FPath.generic_u8string();
        const std::string path(text.begin(), text.end());
        return name.empty() ? path : path + "/" + name;
    }

  private:
    std::filesystem::path FPath;
};

} // namespace quill::test
