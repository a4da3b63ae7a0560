#include "host/session.h"

#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/com/guid.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <cstdio>

namespace quill::host {

using com::OleVariant;

TQuillSession::~TQuillSession() {
    Close();
}

bool TQuillSession::Open(const std::string& path) {
    if (!FLoader.Load(path)) {
        FError = FLoader.Error();
        return false;
    }
    FLoader.PluginControl(&FControl);
    if (!FControl) {
        FError = "the plug-in has no control object";
        return false;
    }
    if (com::FAILED(FControl->GetDllInterface(&FDriver)) || !FDriver) {
        FError =
            "the plug-in has no driver object: " + kernel::WideToUtf8(com::TakeErrorDescription());
        return false;
    }
    if (com::FAILED(FDriver->GetMemberCheck(&FCheck)) || !FCheck) {
        FError = "the driver object answers no member check";
        return false;
    }
    FEntry = GuardedCallEntryFromQuery(FLoader.Query);
    return true;
}

void TQuillSession::Close() {
    // The sink is withdrawn first, so that nothing left in the plug-in can call it afterwards.
    if (FDriver) FDriver->SetEventSupport(nullptr);
    if (FEntry) {
        TParams block;
        block.MethodName = "__FRee";
        FEntry(&block, nullptr);
        FEntry = nullptr;
    }
    if (FCheck) FCheck->Release();
    if (FDriver) FDriver->Release();
    if (FControl) FControl->Release();
    FCheck = nullptr;
    FDriver = nullptr;
    FControl = nullptr;
    FLoader.Unload();
}

TCallOutcome TQuillSession::Run(TParams& block) {
    TCallOutcome outcome;
    FEntry(&block, nullptr);
    outcome.Failed = block.Error;
    outcome.ErrorCode = block.ErrorCode;
    outcome.ErrorText = rtl::VarToWide(block.ErrorDescription);
    return outcome;
}

TCallOutcome TQuillSession::HandOverEventSink(IEventSupport2* sink) {
    TParams block;
    block.MethodName = "__@@EventSupport";
    block.Context = static_cast<IUnknown*>(sink);
    return Run(block);
}

TCallOutcome TQuillSession::Call(std::u16string_view name, TCallKind kind,
                                 const std::vector<OleVariant>& args) {
    TParams block;
    block.MethodName = "Call";
    block.AllocateStorage();
    block.Add(OleVariant());
    block.Add(OleVariant(name));
    block.Add(OleVariant(static_cast<int>(kind)));
    for (const auto& a : args)
        block.Add(a);
    TCallOutcome outcome = Run(block);
    if (block.Count() > 0) outcome.Result = OleVariant(block.Get(0));
    for (std::uint32_t i = 3; i < block.Count(); ++i)
        outcome.Args.push_back(block.Get(static_cast<std::int32_t>(i)));
    return outcome;
}

bool TQuillSession::IsMethod(std::u16string_view name) const {
    com::BStr text(name);
    return FCheck && FCheck->IsMethod(text.Get());
}

bool TQuillSession::IsProperty(std::u16string_view name) const {
    com::BStr text(name);
    return FCheck && FCheck->IsProperty(text.Get());
}

IDeviceItem* TQuillSession::FindDevice(const com::VARIANT& settings) const {
    if (!FDriver) return nullptr;
    IPluModel* model = nullptr;
    if (com::FAILED(FDriver->GetModel(0, &model)) || !model) return nullptr;
    IDeviceItem* device = nullptr;
    if (com::FAILED(model->FindDevice(&settings, &device))) device = nullptr;
    model->Release();
    return device;
}

TCallOutcome TQuillSession::CallByName(std::u16string_view name,
                                       const std::vector<OleVariant>& args) {
    if (IsMethod(name) || !IsProperty(name)) return Call(name, TCallKind::Method, args);
    return Call(name, args.empty() ? TCallKind::Read : TCallKind::Write, args);
}

bool LateCall(com::IDispatch* object, std::u16string_view name, std::vector<OleVariant> args,
              OleVariant* result) {
    if (!object) return false;
    std::u16string text(name);
    com::OLECHAR* names[] = {text.data()};
    com::DISPID id = 0;
    if (com::FAILED(object->GetIDsOfNames(com::GUID_NULL, names, 1, 0, &id))) return false;
    // The platform passes arguments last-first.
    std::vector<com::VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(*it);
    com::DISPPARAMS params{reversed.data(), nullptr, static_cast<com::UINT>(reversed.size()), 0};
    OleVariant out;
    const HRESULT hr =
        object->Invoke(id, com::GUID_NULL, 0, com::DISPATCH_METHOD | com::DISPATCH_PROPERTYGET,
                       &params, &out, nullptr, nullptr);
    if (com::FAILED(hr)) return false;
    if (result) *result = std::move(out);
    return true;
}

std::string DisplayText(const com::VARIANT& value) {
    const com::VARIANT& v =
        value.vt == (com::VT_BYREF | com::VT_VARIANT) && value.pvarVal ? *value.pvarVal : value;
    if (v.vt == com::VT_DISPATCH) {
        if (!v.pdispVal) return "(nothing)";
        // A value array shows its rows, one cell after another.
        if (auto table = com::ComPtr<ISafeArray>::QueryFrom(v.pdispVal)) {
            std::int32_t rows = 0, columns = 0;
            table->GetBounds(&rows, &columns);
            std::string text = "table " + std::to_string(rows) + "x" + std::to_string(columns);
            for (std::int32_t row = 0; row < rows; ++row) {
                text += "\n    ";
                for (std::int32_t column = 0; column < columns; ++column) {
                    OleVariant cell;
                    table->GetValue(row, column, &cell);
                    text += (column ? " | " : "") + DisplayText(cell);
                }
            }
            return text;
        }
        com::OLECHAR name[] = u"xml";
        com::OLECHAR* names[] = {name};
        com::DISPID id = 0;
        if (com::SUCCEEDED(v.pdispVal->GetIDsOfNames(com::GUID_NULL, names, 1, 0, &id))) {
            com::DISPPARAMS none{nullptr, nullptr, 0, 0};
            OleVariant result;
            if (com::SUCCEEDED(v.pdispVal->Invoke(id, com::GUID_NULL, 0, com::DISPATCH_PROPERTYGET,
                                                  &none, &result, nullptr, nullptr)))
                return kernel::WideToUtf8(rtl::VarToWide(result));
        }
        return "(object)";
    }
    if (v.vt == com::VT_UNKNOWN) return "(object)";
    if (v.vt == com::VT_EMPTY) return "(empty)";
    try {
        return kernel::WideToUtf8(rtl::VarToWide(v));
    } catch (...) {
        return "(value of type " + std::to_string(v.vt) + ")";
    }
}

} // namespace quill::host
