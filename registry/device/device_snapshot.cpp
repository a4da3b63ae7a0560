#include "registry/device/device_snapshot.h"

#include "registry/device/device_item.h"

namespace quill::registry {

TDeviceSnapshot::TDeviceSnapshot(const TDeviceItem& device)
    : FGuid(device.Guid()), FIdentifier(device.Identifier()), FModelGuid(device.FModelGuid) {
    const TPropList& params = *device.FParams;
    FRows.reserve(static_cast<std::size_t>(params.Count()));
    for (int i = 0; i < params.Count(); ++i) {
        const TPropItem& row = *params.PropertyAt(i);
        FRows.push_back({row.Identifier, row.Alias, row.Name, row.TypeName, row.DefaultValue,
                         row.Description, row.ReadOnly, row.Value});
    }
}

void TDeviceSnapshot::Restore(TDeviceItem& device) const {
    TPropList& params = *device.FParams;
    // A load only adds rows at the end, so the rows it added are those past the old count.
    while (params.Count() > static_cast<int>(FRows.size()))
        params.Delete(params.Count() - 1);
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        TPropItem& row = *params.PropertyAt(static_cast<int>(i));
        const TRow& saved = FRows[i];
        row.Identifier = saved.Identifier;
        row.Alias = saved.Alias;
        row.Name = saved.Name;
        row.TypeName = saved.TypeName;
        row.DefaultValue = saved.DefaultValue;
        row.Description = saved.Description;
        row.ReadOnly = saved.ReadOnly;
        row.Value = saved.Value;
    }
    device.FModelGuid = FModelGuid;
    device.SetIdentifier(FIdentifier);
    device.SetGuid(FGuid);
}

} // namespace quill::registry
