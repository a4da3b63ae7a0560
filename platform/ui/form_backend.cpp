#include "platform/ui/form_backend.h"

#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/ui/terminal/terminal_form.h"

#include <cstdlib>
#include <dlfcn.h>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace quill::ui {

namespace {

bool DisplaySet() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

// Beside the run-time (a build tree), else in the run-time's private module folder (an
// installation keeps its modules out of the shared library folder).
std::string DefaultFltkModulePath() {
    std::string path = kernel::ModuleFileNameOf(reinterpret_cast<const void*>(&FltkFormBackend));
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string beside = folder + "quill-fltk.so";
    if (kernel::RegularFileExists(beside)) return beside;
    return folder + "quill/quill-fltk.so";
}

} // namespace

TFormBackend* FltkFormBackend(const std::string& modulePath) {
    // One attempt per process: the module and its display connection live until the process ends
    // (a toolkit that registered exit handlers must never be unloaded).
    static std::once_flag once;
    static TFormBackend* backend = nullptr;
    if (!DisplaySet()) return nullptr;
    std::call_once(once, [&] {
        const std::string path = modulePath.empty() ? DefaultFltkModulePath() : modulePath;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        using Factory = TFormBackend* (*)();
        auto factory = reinterpret_cast<Factory>(dlsym(handle, kFltkFactoryName));
        if (factory) backend = factory();
    });
    return backend;
}

TFormBackend* TerminalFormBackend() {
    static TTerminalForm terminal(std::cin, std::cout);
    return &terminal;
}

TFormBackend* CurrentFormBackend() {
    if (TFormBackend* fltk = FltkFormBackend()) return fltk;
    if (isatty(STDIN_FILENO)) return TerminalFormBackend();
    return nullptr;
}

} // namespace quill::ui
