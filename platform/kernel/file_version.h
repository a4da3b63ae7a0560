// Version resources of files: GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA.
//
// A module's version block (the platform's VS_VERSIONINFO format) lives in its ELF section
// ".quill_version"; any file can be asked by path. The file is read through its section headers
// with every offset and size checked against the file's real size, and the block's own structure is
// checked before it is handed out: a file that is no ELF file, has no such section, or is
// truncated or malformed anywhere simply has no version block (size 0,
// ERROR_RESOURCE_TYPE_NOT_FOUND). Both byte orders and both ELF classes are read.
//
// The size reported leaves room after the block for the 8-bit copies of text values that
// VerQueryValueA makes (Windows-1251), as the platform's does; GetFileVersionInfoA refuses a
// smaller buffer. VerQueryValueA takes paths "\" (the VS_FIXEDFILEINFO), "\VarFileInfo\Translation"
// (pairs of language and code page) and "\StringFileInfo\<key>\<name>" (an 8-bit text; `length`
// counts its characters with the terminating zero); names compare ignoring case. It only reads
// inside the block it is given (whose first word is its length). Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace quill::kernel {

using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;

constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// 0 when the file has no (valid) version block.
DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle);
BOOL GetFileVersionInfoA(const std::string& fileName, DWORD handle, DWORD length, void* data);
BOOL VerQueryValueA(const void* block, const std::string& subBlock, void** buffer, UINT* length);

} // namespace quill::kernel
