// A host of one's own, built against the installed package only:
//
//   c++ -std=c++20 example_host.cpp $(pkg-config --cflags --libs quill) -o example-host
//   ./example-host "$(pkg-config --variable=plugindir quill)/Quill.plu" '+++12345+++'
//
// It loads the plug-in, hands it an event sink, creates a scanner device with the driver's
// defaults, switches it on, types the keys given (as a scanner would) through the keyboard bridge
// and prints each scan event and every character that reached the "application".
#include <quill/linux_host.h>

#include <atomic>
#include <cstdio>
#include <dlfcn.h>
#include <string>

using namespace quill;

namespace {

// The event sink: prints events; the plug-in asks it for the thread its keyboard hook runs on.
class TPrintingSink final : public TEventSupportBase {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (iid != IUnknown::Guid && iid != IEventSupport::Guid && iid != IEventSupport2::Guid) {
            *object = nullptr;
            return com::E_NOINTERFACE;
        }
        *object = static_cast<IEventSupport2*>(this);
        AddRef();
        return com::S_OK;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    com::ULONG STDMETHODCALLTYPE Release() override {
        const com::ULONG left = --FRefs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR event, BSTR data, GUID*) override {
        std::printf("event: source=%s name=%s data=%s\n", Utf8(source).c_str(), Utf8(event).c_str(),
                    Utf8(data).c_str());
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override {
        *array = nullptr;
        return com::E_NOTIMPL; // no call of this host needs one
    }
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* thread) override {
        *thread = user::GetCurrentThreadId();
        return com::S_OK;
    }

  private:
    ~TPrintingSink() = default;
    static std::string Utf8(BSTR text) { return kernel::WideToUtf8(com::TextFromBStr(text)); }
    std::atomic<com::ULONG> FRefs{1};
};

// Calls a method of the driver by name ("Call": result, name, kind 1 = method, arguments).
bool CallMethod(CallEntryFunc entry, std::u16string_view name, const com::OleVariant& argument) {
    TParams block;
    block.MethodName = "Call";
    block.AllocateStorage();
    block.Add(com::OleVariant());
    block.Add(com::OleVariant(name));
    block.Add(com::OleVariant(1));
    block.Add(argument);
    entry(&block, nullptr);
    if (block.Error)
        std::fprintf(stderr, "%s failed, code %d\n", kernel::WideToUtf8(name).c_str(),
                     static_cast<int>(block.ErrorCode));
    return !block.Error;
}

// A special request: "__@@EventSupport" hands over the sink (the plug-in takes its own
// reference, ours is dropped here), "__FRee" releases everything before the unload. A block may
// hold the plug-in's objects, so none outlives the plug-in.
bool Request(CallEntryFunc entry, const char* name, TPrintingSink* sink) {
    TParams block;
    block.MethodName = name;
    block.Context = static_cast<IUnknown*>(sink);
    entry(&block, nullptr);
    if (sink) sink->Release();
    return !block.Error;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: example-host PATH/Quill.plu [KEYS]\n");
        return 2;
    }
    const std::string keys = argc > 2 ? argv[2] : "+++12345+++";
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto query = reinterpret_cast<QueryFunc>(dlsym(plugin, "Query"));
    auto before_free = reinterpret_cast<BeforeFreeLibraryFunc>(dlsym(plugin, "BeforeFreeLibrary"));
    if (!query || !before_free) {
        std::fprintf(stderr, "%s is not the plug-in\n", argv[1]);
        return 1;
    }
    const CallEntryFunc entry = GuardedCallEntryFromQuery(query);

    // What passes the plug-in's capture reaches the "application": here, the terminal.
    user::TKeyboardBridge bridge([](const user::TApplicationKey& key) {
        if (key.Kind == user::TApplicationKeyKind::Character)
            std::printf("typed: %c\n", static_cast<char>(key.Character));
    });

    // A device with the driver's defaults; being the first, it is device 1.
    bool ok = Request(entry, "__@@EventSupport", new TPrintingSink) &&
              CallMethod(entry, u"AddDevice", com::OleVariant()) &&
              CallMethod(entry, u"ChoiceDevice", com::OleVariant(1)) &&
              CallMethod(entry, u"SwitchOn", com::OleVariant(0));
    if (ok) {
        // Printable ASCII keys by X11 keysym (the same numbers), each down and up, with Shift in
        // the state as a toolkit reports it for the characters that need it on a US keyboard.
        const std::string shifted = "~!@#$%^&*()_+{}|:\"<>?ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        for (const char c : keys)
            for (const bool down : {true, false}) {
                user::TToolkitKeyEvent key;
                key.Code = static_cast<unsigned char>(c);
                key.Down = down;
                key.HasState = true;
                key.State = shifted.find(c) == std::string::npos ? 0 : user::KeyStateShift;
                bridge.KeyEvent(key);
            }
        bridge.Finish(2000); // keys still held are typed again or claimed before we go
    }
    Request(entry, "__FRee", nullptr); // releases the devices and the sink
    before_free();
    dlclose(plugin);
    return ok ? 0 : 1;
}
