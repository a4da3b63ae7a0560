// TVersionInfo: the version block of a program file, read by path.
//
// Construction reads the block (GetFileVersionInfoA, kernel/file_version.h); a file without one,
// or one that cannot be read or is malformed, leaves the object invalid, and every query then gives
// empty text or zeros. Texts are Windows-1251. FileVersion is the "FileVersion" string of the
// first translation, or, when there is none, the fixed file version as "a.b.c.d". An allocation
// failure while loading clears the valid flag and passes on. Not thread-safe per object.
#pragma once

#include "platform/kernel/file_version.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill::infra {

struct TVersionNumbers {
    std::uint32_t High = 0; // major << 16 | minor
    std::uint32_t Low = 0;  // release << 16 | build
};

class TVersionInfo : public rtl::TObject {
  public:
    explicit TVersionInfo(std::string fileName);
    ~TVersionInfo() override;
    std::string_view ClassName() const override;

    // Reads the block anew.
    void Load();
    // The first translation as eight upper-case hexadecimal digits, language first (041904E3).
    std::string TranslationKey();
    std::string StringValue(std::string_view name);
    TVersionNumbers VersionNumbers();
    std::string FileVersion();

    bool Valid() const { return FValid; }
    std::uint32_t InfoSize() const { return FInfoSize; }
    const std::string& FileName() const { return FFileName; }

    // The version of the module this code is part of (the plug-in when linked into it, else the
    // program).
    static std::unique_ptr<TVersionInfo> ForOwnModule();

  private:
    const kernel::VS_FIXEDFILEINFO* FixedInfo();

    std::string FFileName;
    bool FValid = false;
    std::uint32_t FInfoSize = 0;
    std::vector<std::uint8_t> FInfo;
    const kernel::VS_FIXEDFILEINFO* FFixedInfo = nullptr;
    bool FFixedLooked = false;
};

} // namespace quill::infra
