#include "exchange/autoobject/base_auto_object.h"

#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/exception.h"

#include <cstring>
#include <new>
#include <typeinfo>

namespace quill::exchange {

using namespace com;

namespace {

#define QUILL_TEXT(function, literal)                                                              \
    const std::string& function() {                                                                \
        static const std::string text = kernel::WideToAnsi(literal);                               \
        return text;                                                                               \
    }
QUILL_TEXT(TableFullText, u"Массив имен заполнен.")
QUILL_TEXT(CountText, u"Неверное число параметров для [")
QUILL_TEXT(NotReadableText, u"Свойство недоступно для чтения [")
QUILL_TEXT(NotWritableText, u"Свойство недоступно для записи [")
QUILL_TEXT(NotFoundText, u"Метод/Свойство [")
QUILL_TEXT(NotFoundTail, u"] не обнаружено. Флаг:")
QUILL_TEXT(UnsupportedParamText, u"Неподдерживаемый тип параметра.")
QUILL_TEXT(GetIndexText, u"Неверный индекс (Get) Index=%d Count=%d")
QUILL_TEXT(SetIndexText, u"Неверный индекс (Set) Index=%d Count=%d")
#undef QUILL_TEXT

std::string CountFailure(const std::string& name) {
    return CountText() + name + "]";
}
std::string NotReadable(const std::string& name) {
    return NotReadableText() + name + "]";
}
std::string NotWritable(const std::string& name) {
    return NotWritableText() + name + "]";
}
std::string NotFound(const std::string& name, WORD flags) {
    return NotFoundText() + name + NotFoundTail() + std::to_string(flags);
}

bool IsMethodCall(WORD flags) {
    return flags == 1 || flags == 3;
}
bool IsRead(WORD flags) {
    return flags == 2;
}
bool IsWrite(WORD flags) {
    return flags == 4 || flags == 8 || flags == 12;
}

void StoreResult(VARIANT* slot, OleVariant& value) {
    if (!slot) return;
    VariantClear(slot);
    *slot = value.Detach();
}

// The exception information of a failure; codes that do not fit the 16-bit field go to scode.
void FillException(EXCEPINFO* info, std::int32_t code, std::u16string_view source,
                   std::u16string_view description) {
    if (!info) return;
    std::memset(static_cast<void*>(info), 0, sizeof(EXCEPINFO));
    if (code >= 0 && code <= 0xFFFF)
        info->wCode = static_cast<WORD>(code);
    else
        info->scode = code;
    info->bstrSource = BStrFromText(source);
    info->bstrDescription = BStrFromText(description);
}

void CheckIndex(std::int32_t index, std::uint32_t count, bool get) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= count)
        infra::RaiseErrorText(rtl::Format(get ? GetIndexText() : SetIndexText(),
                                          {index, static_cast<long long>(count)}));
}

} // namespace

std::string_view ExceptionClassName(const std::exception& failure) {
    if (dynamic_cast<const infra::EHardwareEquipmentException*>(&failure))
        return "EHardwareEquipmentException";
    if (dynamic_cast<const infra::ECodedException*>(&failure)) return "ECodedException";
    if (dynamic_cast<const rtl::EOleSysError*>(&failure)) return "EOleSysError";
    if (dynamic_cast<const rtl::EVariantError*>(&failure)) return "EVariantError";
    if (dynamic_cast<const rtl::EConvertError*>(&failure)) return "EConvertError";
    if (dynamic_cast<const rtl::EInvalidOp*>(&failure)) return "EInvalidOp";
    if (dynamic_cast<const rtl::EInvalidCast*>(&failure)) return "EInvalidCast";
    if (dynamic_cast<const std::bad_alloc*>(&failure)) return "EOutOfMemory";
    return "Exception";
}

std::string ExceptionMessage(const std::exception& failure) {
    if (auto* e = dynamic_cast<const rtl::Exception*>(&failure)) return e->Message();
    return kernel::Utf8ToAnsi(failure.what());
}

TBaseAutoObject::TBaseAutoObject() = default;
TBaseAutoObject::~TBaseAutoObject() = default;

void TBaseAutoObject::Initialize() {
    FNameList.clear();
    FEntryCount = 0;
    FUseNameTable = UseNameTable();
    RegisterNames();
}

void TBaseAutoObject::RegisterNames() {}
bool TBaseAutoObject::UseNameTable() const {
    return false;
}
bool TBaseAutoObject::InvokeUnknown(TParams&) {
    return false;
}

void TBaseAutoObject::CheckRoom() const {
    if (FEntryCount >= MaxNames) throw rtl::Exception(TableFullText());
}

void TBaseAutoObject::AddMethod(std::string_view name, std::int16_t argCount,
                                TAutoHandler handler) {
    CheckRoom();
    TNameEntry& e = FNames[FEntryCount];
    e = TNameEntry{kernel::AnsiUpperCase(name), argCount, true, std::move(handler), nullptr};
    ++FEntryCount;
}

void TBaseAutoObject::AddProperty(std::string_view name, TAutoHandler getter, TAutoSetter setter) {
    CheckRoom();
    TNameEntry& e = FNames[FEntryCount];
    e = TNameEntry{kernel::AnsiUpperCase(name), 0, false, std::move(getter), std::move(setter)};
    ++FEntryCount;
}

std::uint32_t TBaseAutoObject::ArgCount(const TAutoArgs& args) {
    if (args.Block) return args.Block->Count();
    return args.Descriptor ? args.Descriptor->cArgs : 0;
}

OleVariant TBaseAutoObject::GetArg(const TAutoArgs& args, std::int32_t index) {
    if (args.Block) return args.Block->Get(index);
    const std::uint32_t count = ArgCount(args);
    CheckIndex(index, count, true);
    const VARIANT& slot = args.Descriptor->rgvarg[count - 1 - static_cast<std::uint32_t>(index)];
    // A reference to nothing is no argument the handler could read.
    if ((slot.vt & VT_BYREF) && !slot.byref) throw rtl::Exception(UnsupportedParamText());
    if (slot.vt == (VT_BYREF | VT_VARIANT)) return OleVariant(*slot.pvarVal);
    return OleVariant(slot);
}

void TBaseAutoObject::SetArg(TAutoArgs& args, std::int32_t index, const VARIANT& value) {
    if (args.Block) {
        args.Block->Set(index, value);
        return;
    }
    const std::uint32_t count = ArgCount(args);
    CheckIndex(index, count, false);
    VARIANT& slot = args.Descriptor->rgvarg[count - 1 - static_cast<std::uint32_t>(index)];
    if (!(slot.vt & VT_BYREF)) return; // a by-value argument of the caller is left alone
    if (!rtl::WriteThroughReference(slot, value)) throw rtl::Exception(UnsupportedParamText());
}

HRESULT STDMETHODCALLTYPE TBaseAutoObject::GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID,
                                                         DISPID* ids) {
    if (!names || !ids || count == 0 || !names[0]) return E_INVALIDARG;
    try {
        const std::string name = kernel::WideToAnsi(names[0]);
        if (FUseNameTable) {
            for (int i = 0; i < FEntryCount; ++i) {
                if (kernel::AnsiSameText(FNames[static_cast<std::size_t>(i)].Name, name)) {
                    ids[0] = i;
                    return S_OK;
                }
            }
            return E_NOTIMPL;
        }
        for (std::size_t i = 0; i < FNameList.size(); ++i) {
            if (kernel::AnsiSameText(FNameList[i], name)) {
                ids[0] = static_cast<DISPID>(i);
                return S_OK;
            }
        }
        FNameList.push_back(name);
        ids[0] = static_cast<DISPID>(FNameList.size() - 1);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE TBaseAutoObject::Invoke(DISPID id, REFIID, LCID, WORD flags,
                                                  DISPPARAMS* params, VARIANT* result,
                                                  EXCEPINFO* exception, UINT*) {
    try {
        if (FUseNameTable) return InvokeNameTable(id, flags, params, result);
        return InvokeList(id, flags, params, result, exception);
    } catch (const std::exception& e) {
        FillException(exception, ExceptionCode, kernel::AnsiToWide(ExceptionClassName(e)),
                      kernel::AnsiToWide(ExceptionMessage(e)));
    } catch (...) {
        FillException(exception, ExceptionCode, u"Exception", u"Unknown failure");
    }
    return DISP_E_EXCEPTION;
}

HRESULT TBaseAutoObject::InvokeNameTable(DISPID id, WORD flags, DISPPARAMS* params,
                                         VARIANT* result) {
    if (id < 0 || id >= FEntryCount) throw rtl::Exception(NotFound("", flags));
    TNameEntry& entry = FNames[static_cast<std::size_t>(id)];
    TAutoArgs args{params, nullptr};
    if (IsMethodCall(flags)) {
        if (entry.IsMethod && entry.ParamCount > 0 &&
            ArgCount(args) != static_cast<std::uint32_t>(entry.ParamCount))
            throw rtl::Exception(CountFailure(entry.Name));
        if (!entry.Handler) {
            if (entry.IsMethod) throw rtl::Exception(NotFound(entry.Name, flags));
            throw rtl::Exception(NotReadable(entry.Name));
        }
    } else if (IsRead(flags)) {
        if (entry.IsMethod) throw rtl::Exception(NotFound(entry.Name, flags));
        if (!entry.Handler) throw rtl::Exception(NotReadable(entry.Name));
    } else if (IsWrite(flags)) {
        if (entry.IsMethod) throw rtl::Exception(NotFound(entry.Name, flags));
        if (!entry.Setter) throw rtl::Exception(NotWritable(entry.Name));
        // The value of a property write is the argument the caller passes with it.
        if (ArgCount(args) == 0) throw rtl::Exception(CountFailure(entry.Name));
        const OleVariant value = GetArg(args, static_cast<std::int32_t>(ArgCount(args) - 1));
        entry.Setter(args, value);
        return S_OK;
    } else {
        throw rtl::Exception(NotFound(entry.Name, flags));
    }
    OleVariant value;
    entry.Handler(args, value);
    StoreResult(result, value);
    return S_OK;
}

HRESULT TBaseAutoObject::InvokeList(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception) {
    if (id < 0 || static_cast<std::size_t>(id) >= FNameList.size()) return DISP_E_MEMBERNOTFOUND;
    TParams view;
    TParams own;
    view.Attach(params);
    own.AllocateStorage();

    const std::string name = kernel::AnsiUpperCase(FNameList[static_cast<std::size_t>(id)]);
    view.MethodName = rtl::AnsiString(name);
    view.Flags = flags;
    view.Result = result;

    own.Clear();
    const std::uint32_t count = view.Count();
    for (std::uint32_t i = 0; i < count; ++i) {
        const VARIANT& arg = params->rgvarg[count - 1 - i];
        if ((arg.vt & VT_BYREF) && !arg.byref) throw rtl::Exception(UnsupportedParamText());
        own.Add(arg.vt == (VT_BYREF | VT_VARIANT) ? *arg.pvarVal : arg);
    }
    own.MethodName = rtl::AnsiString(name);
    own.Flags = flags;
    own.Result = result;
    DispatchByName(own);

    view.Error = own.Error;
    view.ErrorSource = own.ErrorSource;
    view.ErrorDescription = own.ErrorDescription;
    view.ErrorCode = own.ErrorCode;
    for (std::uint32_t i = 0; i < count && i < own.Count(); ++i) {
        VARIANT& arg = params->rgvarg[count - 1 - i];
        const VARIANT& value = own.Block->rgvarg[i];
        if (arg.vt == (VT_BYREF | VT_VARIANT)) {
            OleVariant copy(value);
            VariantClear(arg.pvarVal);
            *arg.pvarVal = copy.Detach();
        } else {
            view.Set(static_cast<std::int32_t>(i), value);
        }
    }
    if (view.Error) {
        FillException(exception, view.ErrorCode, rtl::VarToWide(view.ErrorSource),
                      rtl::VarToWide(view.ErrorDescription));
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}

void TBaseAutoObject::DispatchByName(TParams& block) {
    const std::string name(block.MethodName.View());
    const WORD flags = block.Flags;
    TAutoArgs args{nullptr, &block};
    auto fail = [&](const std::string& text) {
        block.Error = true;
        block.ErrorSource = OleVariant(kernel::AnsiToWide(ClassName()));
        block.ErrorDescription = OleVariant(kernel::AnsiToWide(text));
    };
    auto call = [&](TNameEntry& entry) {
        OleVariant value;
        entry.Handler(args, value);
        StoreResult(block.Result, value);
    };
    for (int i = 0; i < FEntryCount; ++i) {
        TNameEntry& entry = FNames[static_cast<std::size_t>(i)];
        if (entry.Name != name) continue;
        if (IsMethodCall(flags)) {
            if (entry.IsMethod && entry.ParamCount > 0 &&
                block.Count() != static_cast<std::uint32_t>(entry.ParamCount)) {
                fail(CountFailure(entry.Name));
                return;
            }
            if (!entry.Handler) {
                fail(NotReadable(entry.Name));
                return;
            }
            call(entry);
            return;
        }
        if (entry.IsMethod) continue;
        if (IsRead(flags)) {
            if (!entry.Handler) {
                fail(NotReadable(entry.Name));
                return;
            }
            call(entry);
            return;
        }
        if (IsWrite(flags)) {
            if (!entry.Setter) {
                fail(NotWritable(entry.Name));
                return;
            }
            if (block.Count() == 0) {
                fail(CountFailure(entry.Name));
                return;
            }
            const OleVariant value = block.Get(static_cast<std::int32_t>(block.Count() - 1));
            entry.Setter(args, value);
            return;
        }
    }
    if (!InvokeUnknown(block)) {
        fail(NotFound(name, flags));
        block.ErrorCode = infra::codes::FreeText;
    }
}

} // namespace quill::exchange
