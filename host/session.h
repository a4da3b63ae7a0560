// TQuillSession: the host's side of one loaded plug-in. It loads Quill.plu, obtains the plug-in
// control interface, the driver object, its member check and the guarded call entry, hands over
// the host's event sink with the "__@@EventSupport" request, and calls methods and properties by
// name, as the host's equipment component does.
//
// Call never throws: a failed call comes back with the plug-in's code and message. The session
// belongs to the host's UI thread (calls, the hook and the events run there); the plug-in is
// unloaded when the session ends, after "__FRee" has released the devices and the sink.
#pragma once

#include "host/event_sink.h"
#include "host/plugin_loader.h"
#include "quill/host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill::host {

struct TCallOutcome {
    bool Failed = false;
    std::int32_t ErrorCode = 0;
    std::u16string ErrorText;
    com::OleVariant Result;
    // The arguments as the plug-in left them (written back by methods).
    std::vector<com::OleVariant> Args;
};

// How a member is called: a method, or a property read or write.
enum class TCallKind { Method = 1, Read = 2, Write = 3 };

class TQuillSession {
  public:
    TQuillSession() = default;
    TQuillSession(const TQuillSession&) = delete;
    TQuillSession& operator=(const TQuillSession&) = delete;
    ~TQuillSession();

    // Loads the plug-in and obtains its interfaces; false with Error() set otherwise.
    bool Open(const std::string& path);
    const std::string& Error() const { return FError; }

    // Hands `sink` to the driver object with "__@@EventSupport".
    TCallOutcome HandOverEventSink(IEventSupport2* sink);
    TCallOutcome Call(std::u16string_view name, TCallKind kind,
                      const std::vector<com::OleVariant>& args = {});
    // A method when the driver knows a method of that name, else a property read (no argument)
    // or write (one argument).
    TCallOutcome CallByName(std::u16string_view name, const std::vector<com::OleVariant>& args);
    bool IsMethod(std::u16string_view name) const;
    bool IsProperty(std::u16string_view name) const;
    // The device of a settings document through the driver's first model (IPluModel FindDevice);
    // nil when there is none. The caller releases it.
    IDeviceItem* FindDevice(const com::VARIANT& settings) const;

    // Releases the devices and the event sink ("__FRee") and unloads the plug-in.
    void Close();

  private:
    TCallOutcome Run(TParams& block);

    TPluginLoader FLoader;
    IPluginControl* FControl = nullptr;
    IDllObject* FDriver = nullptr;
    IDllMemberCheck* FCheck = nullptr;
    CallEntryFunc FEntry = nullptr;
    std::string FError;
};

// A late-bound call of `name` on `object` with `args` in natural order; false when the object
// refuses it.
bool LateCall(com::IDispatch* object, std::u16string_view name, std::vector<com::OleVariant> args,
              com::OleVariant* result = nullptr);

// A variant as display text: texts and numbers as such, a document by its XML, other objects as
// "(object)".
std::string DisplayText(const com::VARIANT& value);

} // namespace quill::host
