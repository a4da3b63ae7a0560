// TParams: the parameter block in which every call travels across the plug-in boundary. A header
// made for hosts (quill/host.h includes it); the run-time implements it (exchange/params).
//
// A block carries the member name, the kind of call, the arguments, the result slot and the error
// state that the callee leaves for the caller. It is either a block with its own storage of
// exactly 50 values (filled with Add, arguments in natural order) or a view on a caller's
// argument descriptor (Attach): the view reads the caller's vector last-first, never frees it and
// writes results back only through the caller's by-reference slots.
//
// The host builds blocks itself and hands them to the library, so the field order and offsets are
// fixed (72 bytes with 32-bit pointers; pointer-sized fields widen on 64-bit platforms, see the
// static_asserts in params.cpp). A block is used by one thread at a time. Failures are raised as
// ECodedException (code 20000) or, for a full block, a plain rtl::Exception; a failed operation
// changes nothing. The block owns its `Next` chain.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/rtl/ansi_string.h"
#include "platform/rtl/format.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <exception>
#include <string>

namespace quill::exchange {

// Invoke flags of the platform, as the block's `Flags` holds them.
namespace invoke {
constexpr std::uint16_t Method = 1;
constexpr std::uint16_t PropertyGet = 2;
constexpr std::uint16_t PropertyPut = 4;
constexpr std::uint16_t PropertyPutRef = 8;
} // namespace invoke

class TParams : public rtl::TObject {
  public:
    static constexpr std::uint32_t Capacity = 50;

    TParams();
    TParams(const TParams&) = delete;
    TParams& operator=(const TParams&) = delete;
    ~TParams() override;
    std::string_view ClassName() const override { return "TParams"; }

    // Gives the block its own zero-filled storage of 50 values; no effect when a descriptor exists.
    void AllocateStorage();
    // Makes a block without storage a view on the caller's descriptor (not owned).
    void Attach(com::DISPPARAMS* descriptor);
    std::uint32_t Count() const { return Block ? Block->cArgs : 0; }
    // Copy of argument `index` (a by-reference argument is dereferenced).
    com::OleVariant Get(std::int32_t index) const;
    // Stores `value` as argument `index` (write-back rule for views, replacement for own storage).
    void Set(std::int32_t index, const com::VARIANT& value);
    // Appends a copy of `value`; a nil block gets its own storage first.
    void Add(const com::VARIANT& value);
    // Keeps the first `count` arguments of a block with own storage and clears the rest.
    void Cut(std::uint32_t count);
    void Clear();
    bool SetErrorCode(std::int32_t code);
    // Records the failure `failure` (code 20000 unless it is coded) in the error fields.
    void SetErrorFromException(const std::exception& failure);
    // Records the exception being handled; call inside a catch block.
    void SetErrorFromCurrentException();
    [[noreturn]] void RaiseError(std::int32_t code, const rtl::FormatArgs& arguments) const;
    [[noreturn]] void RaiseErrorText(const std::string& text) const;

    // The fields, in the order and at the offsets shared with the host.
    com::DISPPARAMS* Block = nullptr;
    std::int32_t ErrorCode = 0;
    rtl::AnsiString MethodName;
    std::uint16_t Flags = 0;
    bool Error = false;
    std::uint8_t Reserved1[5] = {};
    com::OleVariant ErrorSource;
    com::OleVariant ErrorDescription;
    com::VARIANT* Result = nullptr;
    void* Context = nullptr;
    TParams* Next = nullptr; // owned
    bool OwnsStorage = false;
    std::uint8_t Reserved2[3] = {};

  private:
    com::VARIANT& Slot(std::int32_t index) const;
    void CheckIndex(std::int32_t index, const char* operation) const;
    void FreeStorage();
};

} // namespace quill::exchange
