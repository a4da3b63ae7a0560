#include "infra/version/version_info.h"

#include "infra/root/module_path.h"
#include "platform/rtl/format.h"

#include <cstring>

namespace quill::infra {

TVersionInfo::TVersionInfo(std::string fileName) : FFileName(std::move(fileName)) {
    Load();
}

TVersionInfo::~TVersionInfo() = default;

std::string_view TVersionInfo::ClassName() const {
    return "TVersionInfo";
}

void TVersionInfo::Load() {
    FValid = false;
    FFixedInfo = nullptr;
    FFixedLooked = false;
    FInfo.clear();
    kernel::DWORD handle = 0;
    FInfoSize = kernel::GetFileVersionInfoSizeA(FFileName, &handle);
    if (FInfoSize == 0) return;
    FInfo.assign(FInfoSize, 0);
    FValid = kernel::GetFileVersionInfoA(FFileName, handle, FInfoSize, FInfo.data()) != 0;
}

const kernel::VS_FIXEDFILEINFO* TVersionInfo::FixedInfo() {
    if (!FValid) return nullptr;
    if (!FFixedLooked) {
        FFixedLooked = true;
        void* value = nullptr;
        kernel::UINT length = 0;
        if (kernel::VerQueryValueA(FInfo.data(), "\\", &value, &length) &&
            length >= sizeof(kernel::VS_FIXEDFILEINFO))
            FFixedInfo = static_cast<const kernel::VS_FIXEDFILEINFO*>(value);
    }
    return FFixedInfo;
}

std::string TVersionInfo::TranslationKey() {
    if (!FValid) return {};
    void* value = nullptr;
    kernel::UINT length = 0;
    if (!kernel::VerQueryValueA(FInfo.data(), "\\VarFileInfo\\Translation", &value, &length) ||
        length < 4)
        return {};
    std::uint32_t pair = 0;
    std::memcpy(&pair, value, 4);
    // Stored as (language, code page) in the low and high half; the key names the language first.
    const std::uint32_t swapped = (pair << 16) | (pair >> 16);
    return rtl::Format("%.8x", {static_cast<long long>(swapped)});
}

std::string TVersionInfo::StringValue(std::string_view name) {
    if (!FValid) return {};
    void* value = nullptr;
    kernel::UINT length = 0;
    const std::string path = "\\StringFileInfo\\" + TranslationKey() + "\\" + std::string(name);
    if (!kernel::VerQueryValueA(FInfo.data(), path, &value, &length) || !value) return {};
    return std::string(static_cast<const char*>(value));
}

TVersionNumbers TVersionInfo::VersionNumbers() {
    const kernel::VS_FIXEDFILEINFO* fixed = FixedInfo();
    if (!fixed) return {};
    return {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

std::string TVersionInfo::FileVersion() {
    std::string text = StringValue("FileVersion");
    if (!text.empty() || !FValid) return text;
    const TVersionNumbers numbers = VersionNumbers();
    return rtl::Format("%d.%d.%d.%d", {static_cast<int>(numbers.High >> 16),
                                       static_cast<int>(numbers.High & 0xFFFF),
                                       static_cast<int>(numbers.Low >> 16),
                                       static_cast<int>(numbers.Low & 0xFFFF)});
}

std::unique_ptr<TVersionInfo> TVersionInfo::ForOwnModule() {
    return std::make_unique<TVersionInfo>(ModuleFileName());
}

} // namespace quill::infra
