// The plug-in's own version block, from the project's version (the build passes its four parts).
#include "infra/version/version_block_builder.h"

namespace quill::infra {
namespace {

using namespace version_block;

constexpr std::uint16_t Numbers[4] = {QUILL_VERSION_MAJOR, QUILL_VERSION_MINOR, QUILL_VERSION_PATCH,
                                      QUILL_VERSION_TWEAK};
constexpr TVersionText FileVersionText = VersionText(Numbers);
constexpr TStringPair Strings[] = {{u"FileVersion", FileVersionText.Text}};
constexpr TVersionContent Content{
    {Numbers[0], Numbers[1], Numbers[2], Numbers[3]}, 0x0419, 1251, Strings, 1};

QUILL_EMBED_VERSION_BLOCK(Content);

} // namespace
} // namespace quill::infra
