// quill-host: the reference host. It loads Quill.plu, obtains the plug-in control interface and
// the guarded call entry, asks for the driver object and prints what a host sees.
#include "host/plugin_loader.h"
#include "platform/com/errorinfo.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <cstdio>
#include <string>

using namespace quill;

namespace {

std::string Utf8(std::u16string_view text) { return kernel::WideToUtf8(text); }

void PrintBlock(const TParams& block) {
    std::printf("  error: %s, code %d\n", block.Error ? "yes" : "no", block.ErrorCode);
    std::printf("  source: %s\n", Utf8(rtl::VarToWide(block.ErrorSource)).c_str());
    std::printf("  description: %s\n", Utf8(rtl::VarToWide(block.ErrorDescription)).c_str());
}

} // namespace

int main(int argc, char** argv) {
    std::string path = QUILL_PLU_DEFAULT;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plugin" && i + 1 < argc) path = argv[++i];
        else if (arg == "--help") {
            std::printf("usage: quill-host [--plugin PATH]\n");
            return 0;
        }
    }

    host::TPluginLoader loader;
    if (!loader.Load(path)) {
        std::fprintf(stderr, "quill-host: %s\n", loader.Error().c_str());
        return 1;
    }
    std::printf("Loaded %s\n", path.c_str());

    IPluginControl* control = nullptr;
    loader.PluginControl(&control);
    if (!control) {
        std::fprintf(stderr, "quill-host: the plug-in has no control object\n");
        return 1;
    }
    std::printf("IPluginControl obtained\n");

    IDllObject* driver = nullptr;
    const HRESULT hr = control->GetDllInterface(&driver);
    if (com::FAILED(hr)) {
        std::printf("GetDllInterface failed (0x%08X): %s\n", static_cast<unsigned>(hr),
                    Utf8(com::TakeErrorDescription()).c_str());
    } else {
        std::printf("Driver object obtained\n");
        driver->Release();
    }

    CallEntryFunc guarded = GuardedCallEntryFromQuery(loader.Query);
    TParams block;
    block.MethodName = "Call";
    block.AllocateStorage();
    block.Add(com::OleVariant());
    block.Add(com::OleVariant(u"SwitchOn"));
    block.Add(com::OleVariant(1));
    const bool result = guarded(&block, nullptr);
    std::printf("Guarded call of SwitchOn returned %s\n", result ? "true" : "false");
    PrintBlock(block);

    control->Release();
    return 0;
}
