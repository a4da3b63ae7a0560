// TObject: the root class of objects that cross the module boundary by class name.
//
// The host hands the library objects of its own (task objects) and the library recognises them by
// their class name, as the run-time library of the platform allows; every such class derives from
// TObject and answers ClassName. The class lives in the shared run-time so that both modules see
// one definition.
#pragma once

#include <string_view>

namespace quill::rtl {

class TObject {
  public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject();
    // The class's own name, as its declaration spells it.
    virtual std::string_view ClassName() const;
    bool ClassNameIs(std::string_view name) const { return ClassName() == name; }
};

} // namespace quill::rtl
