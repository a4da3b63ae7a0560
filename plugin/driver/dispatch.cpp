// The request entry of the driver object: special requests and ordinary calls by name.
#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "plugin/driver/base_dll_obj.h"
#include "registry/device/result_codes.h"

#include <optional>

namespace quill::plugin {

using namespace com;
using exchange::TParams;

namespace {

// Call kinds of an ordinary call (argument 2).
constexpr std::int32_t kMethod = 1;
constexpr std::int32_t kPropertyGet = 2;
constexpr std::int32_t kPropertyPut = 3;

// The fixed messages of the dispatch, converted once. A plain static (never a thread-local one):
// thread-local objects of a plug-in would keep it loaded after the host unloads it.
struct TDispatchTexts {
    std::string TooFewParameters = kernel::WideToAnsi(u"Недостаточно параметров при вызове метода");
    std::string NoName = kernel::WideToAnsi(u"Не указано имя метода");
    std::string ReadOnly = kernel::WideToAnsi(u"Свойство [%s] доступно только для чтения");
    std::string WrongCount = kernel::WideToAnsi(u"Неверное количество переданных параметров");
    std::string Function = kernel::WideToAnsi(u"Функция [");
    std::string Passed = kernel::WideToAnsi(u"Передано: ");
    std::string Needed = kernel::WideToAnsi(u"Необходимо: ");
};

const TDispatchTexts& Texts() {
    static const TDispatchTexts texts;
    return texts;
}

// Resets the device's call context when the block is finished, also on failure. The handler may
// remove the very device it runs for (DeleteDevice, or a thread's devices leaving the list), so
// the scope holds a counted reference: the device outlives the call, and the last reference
// frees it here, under the list's lock.
class CallContextScope {
  public:
    explicit CallContextScope(registry::TDeviceItem* device) : FDevice(device) {}
    ~CallContextScope() {
        if (FDevice) FDevice->SetCallContext(nullptr);
    }
    CallContextScope(const CallContextScope&) = delete;
    CallContextScope& operator=(const CallContextScope&) = delete;

  private:
    com::ComPtr<registry::TDeviceItem> FDevice;
};

bool IsIntegerOrBoolean(VARTYPE vt) {
    return vt == VT_I2 || vt == VT_I4 || vt == VT_BOOL || (vt >= VT_I1 && vt <= VT_I8);
}

// The value array an argument holds, or nil.
ComPtr<ISafeArray> ValueArrayOf(const VARIANT& value) {
    const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    if (base != VT_DISPATCH && base != VT_UNKNOWN) return nullptr;
    IUnknown* object = (value.vt & VT_BYREF) ? *value.ppunkVal : value.punkVal;
    return ComPtr<ISafeArray>::QueryFrom(object);
}

// Argument `index` of a block without a copy, through one level of by-reference variant. The
// order of the arguments is part of the block's layout shared with hosts: natural order in a
// block's own storage, last-first in a view on a caller's vector. The caller checks the count.
const VARIANT& PeekArgument(const TParams& block, std::uint32_t index) {
    const VARIANT& slot = block.OwnsStorage ? block.Block->rgvarg[index]
                                            : block.Block->rgvarg[block.Count() - 1 - index];
    if (slot.vt == (VT_BYREF | VT_VARIANT) && slot.pvarVal) return *slot.pvarVal;
    return slot;
}

// The text an argument holds in place, or nothing when it is no text (then it is converted).
std::optional<std::u16string_view> PeekText(const VARIANT& value) {
    if (value.vt == VT_BSTR) return std::u16string_view(value.bstrVal, SysStringLen(value.bstrVal));
    if (value.vt == (VT_BYREF | VT_BSTR) && value.pbstrVal)
        return std::u16string_view(*value.pbstrVal, SysStringLen(*value.pbstrVal));
    return std::nullopt;
}

void Check(HRESULT hr) {
    if (FAILED(hr)) throw rtl::EOleSysError("Value array call failed", hr);
}

} // namespace

std::string TBaseDllObj::ResultText(rtl::TObject* context, std::int32_t code) const {
    registry::TDeviceItem* device = CurrentDevice(context);
    return device ? device->GetErrorText(code) : Devices->GetErrorText(code);
}

bool TBaseDllObj::Dispatch(TParams* params, rtl::TObject* context) {
    // A host may call from any thread while the keyboard capture runs on its user-interface
    // thread: the whole request runs under the device list's lock.
    const auto guard = Devices->Use();
    bool result = false;
    for (TParams* block = params; block;) {
        bool stop = false;
        DispatchBlock(*block, context, stop);
        result = FLastResult;
        if (stop) break;
        block = block->Next;
    }
    return result;
}

void TBaseDllObj::HandleEventSupport(TParams& block) {
    ComPtr<IEventSupport2> sink =
        ComPtr<IEventSupport2>::QueryFrom(static_cast<IUnknown*>(block.Context));
    EventSink = sink;
    block.Clear();
    OleVariant check(static_cast<IUnknown*>(static_cast<IDllMemberCheck*>(this)));
    block.Add(check);
    Devices->EventSink = nullptr;
    Devices->EventSink = EventSink;
    for (std::size_t i = 0; i < PropertyTable1.size(); ++i)
        if (PropertyTable1[i].NameRu == u"УстройствоВключено") FMadeReadOnly[i] = true;
}

bool TBaseDllObj::HandleSpecialRequest(std::string_view request, TParams& block) {
    if (request == "__FRee") {
        ReleaseEventSink();
        // The list lets go of the host's sink too: after this request nothing of the library
        // holds it.
        Devices->EventSink = nullptr;
        Devices->ClearAll();
        return true;
    }
    if (request == "__Load") return true;
    if (request == "__@@EventSupport") {
        HandleEventSupport(block);
        return true;
    }
    if (request == "__@@SwitchOff") {
        for (int i = 0; i < Devices->Count(); ++i)
            Devices->GetItem(i)->SetState(0);
        return true;
    }
    return false;
}

void TBaseDllObj::DispatchBlock(TParams& block, rtl::TObject*& context, bool& stop) {
    FLastResult = false;
    const std::string_view request = block.MethodName.View();
    if (request.starts_with("__") && HandleSpecialRequest(request, block)) {
        stop = true;
        return;
    }

    if (block.Count() < 3) infra::RaiseErrorText(Texts().TooFewParameters);
    // The name and the kind are read in place when they are a text and an integer, the usual
    // case; anything else is converted from a copy.
    std::u16string converted;
    std::u16string_view name;
    if (const auto text = PeekText(PeekArgument(block, 1))) {
        name = *text;
    } else {
        converted = rtl::VarToWide(block.Get(1));
        name = converted;
    }
    if (name.empty()) infra::RaiseErrorText(Texts().NoName);
    const VARIANT& kindArgument = PeekArgument(block, 2);
    std::int32_t kind = kindArgument.vt == VT_I4 ? kindArgument.lVal : rtl::VarToInt(block.Get(2));

    if (!context) {
        context = this;
    } else if (IsHostTask(context)) {
        // Only a host task object has the slot; any other object would be overwritten.
        static_cast<THostTask*>(context)->SetDriverSlot(static_cast<rtl::TObject*>(this));
    }

    // One conversion and one lookup give both the method and the property of the name.
    std::string key;
    TMemberIndex::MakeKey(name, key);
    const TMemberIndex::Members* members = FIndex.Find(key);
    const MethodRecord* method = members ? members->Method : nullptr;
    const PropertyRecord* property = members ? members->Property : nullptr;
    registry::TDeviceItem* device = CurrentDevice(context);
    CallContextScope scope(device);
    auto ansiName = [&] { return kernel::WideToAnsi(name); };

    if (!method && !property) infra::RaiseCodedError(infra::codes::MemberNotFound, {ansiName()});
    if (method && kind == kPropertyGet) kind = kMethod;

    if ((kind == kMethod || kind == kPropertyPut) && !method) {
        if (kind == kMethod) infra::RaiseCodedError(infra::codes::MemberNotFound, {ansiName()});
        if (IsReadOnly(*property))
            infra::RaiseErrorText(rtl::Format(Texts().ReadOnly, {ansiName()}));
        OleVariant value = block.Get(3);
        property->Handler(context, true, value, AnsiNameRu(*property));
        FLastResult = true;
        stop = true; // nothing behind a property write is processed
        return;
    }
    if (kind == kMethod || kind == kPropertyPut) {
        CallMethod(block, context, *method, name);
        FLastResult = true;
        return;
    }
    if (kind == kPropertyGet) {
        OleVariant value;
        property->Handler(context, false, value, AnsiNameRu(*property));
        block.Set(0, value);
        FLastResult = true;
        return;
    }
    // Any other kind calls nothing.
}

void TBaseDllObj::CallMethod(TParams& block, rtl::TObject* context, const MethodRecord& method,
                             std::u16string_view name) {
    const std::uint32_t n = method.ParamCount;
    std::uint32_t passed = block.Count() - 3;
    ComPtr<ISafeArray> saved;

    if (passed != n && block.Count() == 4) {
        const OleVariant argument = block.Get(3);
        saved = ValueArrayOf(argument);
        if (saved) {
            std::int32_t rows = 0, columns = 0;
            Check(saved->GetBounds(&rows, &columns));
            if (columns == 1 && rows == static_cast<std::int32_t>(n)) {
                block.Cut(3);
                for (std::uint32_t i = 0; i < n; ++i) {
                    OleVariant cell;
                    Check(saved->GetValue(static_cast<std::int32_t>(i), 0, &cell));
                    block.Add(cell);
                }
                passed = block.Count() - 3;
            } else {
                saved = nullptr;
                passed = 0;
            }
        }
    }

    // Whatever happens below, a value array passed in place of the arguments gets their final
    // values back and stands again as the call's one argument.
    auto restore = [&] {
        if (!saved) return;
        if (block.Count() == n + 3)
            for (std::uint32_t i = 0; i < n; ++i) {
                const OleVariant value = block.Get(static_cast<std::int32_t>(3 + i));
                Check(saved->SetValue(static_cast<std::int32_t>(i), 0, value));
            }
        block.Cut(3);
        block.Add(OleVariant(static_cast<IDispatch*>(saved.Get())));
    };

    try {
        if (passed != n) {
            const std::string message = Texts().WrongCount + "\r\n" + Texts().Function +
                                        kernel::WideToAnsi(name) + "]\r\n" + Texts().Passed +
                                        std::to_string(passed) + "\r\n" + Texts().Needed +
                                        std::to_string(n);
            infra::RaiseErrorText(message);
        }
        std::vector<OleVariant> arguments;
        arguments.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i)
            arguments.push_back(block.Get(static_cast<std::int32_t>(3 + i)));
        OleVariant result;
        method.Handler(*this, context, arguments, result);
        // The one place where a handler's result code becomes a failure.
        const std::int32_t code =
            IsIntegerOrBoolean(result.vt) ? rtl::VarToInt(result) : registry::results::Success;
        for (std::uint32_t i = 0; i < n; ++i)
            block.Set(static_cast<std::int32_t>(3 + i), arguments[i]);
        block.Set(0, result);
        if (code != registry::results::Success)
            throw infra::ECodedException(code, ResultText(context, code));
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

} // namespace quill::plugin
