// The plug-in tests' program carries a version block of its own, so the driver object's identity
// (version text and build) is read from a real block with known contents.
#include "infra/version/version_block_builder.h"

namespace {

using namespace quill::infra::version_block;

constexpr TStringPair Strings[] = {{u"FileVersion", u"3.1.4 (проверка)"}};
constexpr TVersionContent Content{{3, 1, 4, 15}, 0x0419, 1251, Strings, 1};

QUILL_EMBED_VERSION_BLOCK(Content);

} // namespace
