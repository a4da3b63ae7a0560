// TDriverInfo: the driver description record that a device list and its devices carry, in the
// order of its fields: name, an empty text, version text, the three version numbers of the
// library's version resource, an empty text, the integer 1, a 16-bit 0, an empty text, and five
// texts naming the maker (name, contact e-mail, web address, telephone, postal address).
// A plain value; copying it copies the description.
#pragma once

#include <cstdint>
#include <string>

namespace quill::registry {

struct TDriverInfo {
    std::u16string Name;
    std::u16string Reserved1;
    std::u16string VersionText;
    std::int32_t VersionMajor = 0;
    std::int32_t VersionMinor = 0;
    std::int32_t VersionRelease = 0;
    std::u16string Reserved2;
    std::int32_t Flag = 1;
    std::int16_t Reserved3 = 0;
    std::u16string Reserved4;
    std::u16string MakerName;
    std::u16string MakerEmail;
    std::u16string MakerWeb;
    std::u16string MakerPhone;
    std::u16string MakerAddress;
};

} // namespace quill::registry
