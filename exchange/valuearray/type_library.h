// The type library that the library carries: its name, identifiers and the two dual interfaces
// with their classes, as a host that browses type information would see them.
//
// The library describes only a test method per interface here: late-bound callers reach the value
// array's real members by name (TBaseAutoObject), not through this description. The "SafeArray"
// class is the value array's class, registered under ValueArrayClassGuid. Plain constant data.
#pragma once

#include "quill/host.h"

#include <array>
#include <string_view>

namespace quill::exchange::typelib {

struct TArgument {
    std::u16string_view Name;
    com::VARTYPE Type;
};

struct TMethod {
    std::u16string_view Name;
    com::DISPID DispatchId;
    std::array<TArgument, 3> Arguments;
    int ArgumentCount;
};

struct TInterface {
    std::u16string_view Name;
    com::IID Id;
    bool Dual;
    bool OleAutomation;
    TMethod Method;
};

struct TClass {
    std::u16string_view Name;
    com::CLSID Id;
    std::u16string_view HelpString;
    std::u16string_view DefaultInterface;
};

constexpr std::u16string_view Name = u"exAddIn";
constexpr std::u16string_view HelpString = u"ZOZeda Library";
constexpr com::GUID LibraryId = com::MakeGuid("B0A3CC0F-02F3-4065-A166-0F06346DFD02");

constexpr TInterface CallerInterface{
    u"ICaller", com::MakeGuid("9D067802-5F0B-4847-BD64-2FB3F551D830"), true, true,
    TMethod{u"Test",
            201,
            {{{u"Param1", com::VT_I4}, {u"Param2", com::VT_I4}, {u"Param3", com::VT_I4}}},
            3}};
constexpr TInterface SafeArrayInterface{u"ISafeArray", ISafeArray::Guid, true, true,
                                        TMethod{u"Test", 201, {}, 0}};

constexpr TClass CallerClass{u"Caller", com::MakeGuid("FF5D8896-95BB-4826-A1A5-79A32B1653AE"),
                             u"Caller Object", u"ICaller"};
constexpr TClass SafeArrayClass{u"SafeArray", ValueArrayClassGuid, u"", u"ISafeArray"};

} // namespace quill::exchange::typelib
