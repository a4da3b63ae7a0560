// TBaseAutoObject: the base of the library's automation objects, which a late-binding caller
// reaches through IDispatch by member name, without a type library.
//
// A subclass registers its members in RegisterNames (methods with their argument counts, and
// properties with read and write handlers; at most 100 entries), which runs once during
// initialisation; the table never changes afterwards. The object then answers in one of two modes,
// chosen by the virtual UseNameTable:
// - name-table mode: GetIDsOfNames finds the registered entry (ignoring case) and Invoke calls its
//   handler with the caller's own argument descriptor; an unknown name gives E_NOTIMPL;
// - list mode: GetIDsOfNames hands out an identifier for every name it is asked for, and Invoke
//   copies the arguments into a parameter block of its own and calls DispatchByName, then copies
//   by-reference arguments and the error state back.
// No exception leaves Invoke: a failure becomes DISP_E_EXCEPTION with the message as the exception
// information's description (code 1000, source the exception's class name), except the failures
// that list mode records in its block (code 20000 for an unknown member, 0 for argument-count and
// access failures, source the object's class name). An object is used by one thread at a time.
#pragma once

#include "quill/params.h"
#include "platform/com/auto_object.h"
#include "platform/rtl/object.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::exchange {

// Where a handler finds its arguments: the caller's descriptor (name-table mode, vector stored
// last-first) or the dispatcher's own parameter block (list mode, natural order).
struct TAutoArgs {
    com::DISPPARAMS* Descriptor = nullptr;
    TParams* Block = nullptr;
};

// A method or read handler leaves its result in `result`; a write handler receives the value.
using TAutoHandler = std::function<void(TAutoArgs& args, com::OleVariant& result)>;
using TAutoSetter = std::function<void(TAutoArgs& args, const com::VARIANT& value)>;

struct TNameEntry {
    std::string Name; // upper-cased, Windows-1251
    std::int16_t ParamCount = 0;
    bool IsMethod = false;
    TAutoHandler Handler;
    TAutoSetter Setter;
};

class TBaseAutoObject : public com::TAutoObject, public rtl::TObject {
  public:
    static constexpr int MaxNames = 100;
    static constexpr std::uint16_t ExceptionCode = 1000;

    TBaseAutoObject();
    ~TBaseAutoObject() override;
    std::string_view ClassName() const override { return "TBaseAutoObject"; }

    // Name list, entry count 0, the mode from UseNameTable, then RegisterNames.
    void Initialize() override;

    com::HRESULT STDMETHODCALLTYPE GetIDsOfNames(com::REFIID iid, com::OLECHAR** names,
                                                 com::UINT count, com::LCID locale,
                                                 com::DISPID* ids) override;
    com::HRESULT STDMETHODCALLTYPE Invoke(com::DISPID id, com::REFIID iid, com::LCID locale,
                                          com::WORD flags, com::DISPPARAMS* params,
                                          com::VARIANT* result, com::EXCEPINFO* exception,
                                          com::UINT* argumentError) override;

    // List-mode dispatch of `block` (name upper-cased, own storage, the caller's result slot).
    virtual void DispatchByName(TParams& block);
    // Asked in list mode when no entry matches; true when the call was handled.
    virtual bool InvokeUnknown(TParams& block);
    // Subclasses register their members here.
    virtual void RegisterNames();
    // true: name-table mode; false (the base): list mode.
    virtual bool UseNameTable() const;

    // Both raise "Массив имен заполнен." when 100 entries are in use, adding nothing.
    void AddMethod(std::string_view name, std::int16_t argCount, TAutoHandler handler);
    void AddProperty(std::string_view name, TAutoHandler getter, TAutoSetter setter);

    // Argument access for handlers. GetArg and SetArg raise the coded error 20000 with
    // "Неверный индекс (Get|Set) Index=%d Count=%d" for an index outside 0..ArgCount-1.
    static std::uint32_t ArgCount(const TAutoArgs& args);
    // A by-reference variant is dereferenced; any other value is copied unchanged.
    static com::OleVariant GetArg(const TAutoArgs& args, std::int32_t index);
    // Writes only through a by-reference argument (variant, integer, double, text); another
    // referenced type raises "Неподдерживаемый тип параметра."; a by-value argument is left alone.
    static void SetArg(TAutoArgs& args, std::int32_t index, const com::VARIANT& value);

    int EntryCount() const { return FEntryCount; }
    const TNameEntry& Entry(int index) const { return FNames[static_cast<std::size_t>(index)]; }
    const std::vector<std::string>& NameList() const { return FNameList; }

  private:
    void CheckRoom() const;
    com::HRESULT InvokeNameTable(com::DISPID id, com::WORD flags, com::DISPPARAMS* params,
                                 com::VARIANT* result);
    com::HRESULT InvokeList(com::DISPID id, com::WORD flags, com::DISPPARAMS* params,
                            com::VARIANT* result, com::EXCEPINFO* exception);

    std::vector<std::string> FNameList;
    std::uint16_t FEntryCount = 0;
    std::array<TNameEntry, MaxNames> FNames;
    bool FUseNameTable = false;
};

// The class name of an exception as the run-time library reports it ("EInvalidOp", ...).
std::string_view ExceptionClassName(const std::exception& failure);
// The message of an exception as Windows-1251 text.
std::string ExceptionMessage(const std::exception& failure);

} // namespace quill::exchange
