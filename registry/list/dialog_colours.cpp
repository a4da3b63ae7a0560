#include "registry/list/dialog_colours.h"

namespace quill::registry {

namespace {
TDialogColours gColours;
}

const TDialogColours& DialogColours() {
    return gColours;
}
void SetDialogColours(const TDialogColours& colours) {
    gColours = colours;
}

} // namespace quill::registry
