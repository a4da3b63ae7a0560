// A small library with version 1.2.3.4 for the version-information tests. Built twice: with a
// "FileVersion" text (QUILL_SAMPLE_FILE_VERSION_TEXT) and with the fixed version only.
#include "infra/version/version_block_builder.h"

namespace {

using namespace quill::infra::version_block;

#ifdef QUILL_SAMPLE_FILE_VERSION_TEXT
constexpr TStringPair Strings[] = {{u"ProductName", u"Образец"},
                                   {u"FileVersion", u"1.2.3.4 (образец)"}};
#else
constexpr TStringPair Strings[] = {{u"ProductName", u"Образец"}};
#endif

constexpr TVersionContent Content{
    {1, 2, 3, 4}, 0x0419, 1251, Strings, sizeof Strings / sizeof *Strings};

QUILL_EMBED_VERSION_BLOCK(Content);

} // namespace

extern "C" int QuillVersionSample() {
    return 1234;
}
