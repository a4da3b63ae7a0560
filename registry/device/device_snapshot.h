// TDeviceSnapshot: what a settings load may change on a device (GUID, identifier, model, its
// parameter rows), kept so that a load that fails half-way can put the device back as it was.
//
// A load changes a device step by step; should one step fail (a parse error, a bad value, memory
// running out), the caller restores the snapshot it took before the load, so that the device is
// either wholly the old one or wholly the new one, never half of each. Restore puts back the rows
// the device had, in their order, and removes rows the load added. Taking a snapshot copies the
// row values; the descriptive texts are shared, not copied. Used on the thread that owns the
// device; Restore allocates little and may raise only std::bad_alloc.
#pragma once

#include "platform/com/com_types.h"
#include "platform/rtl/shared_text.h"

#include <string>
#include <vector>

namespace quill::registry {

class TDeviceItem;

class TDeviceSnapshot {
  public:
    explicit TDeviceSnapshot(const TDeviceItem& device);
    void Restore(TDeviceItem& device) const;

  private:
    struct TRow {
        rtl::TSharedText Identifier, Alias, Name, TypeName, DefaultValue, Description;
        bool ReadOnly = false;
        std::string Value;
    };
    com::GUID FGuid;
    std::string FIdentifier;
    com::GUID FModelGuid;
    std::vector<TRow> FRows;
};

} // namespace quill::registry
