// The Windows side of locale.h: the user's language is the system's (the user profile's).
#include "platform/kernel/locale.h"

#include <windows.h>

namespace quill::kernel {

LANGID GetUserDefaultLangID() {
    return ::GetUserDefaultLangID();
}

} // namespace quill::kernel
