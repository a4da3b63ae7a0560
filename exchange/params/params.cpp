#include "quill/params.h"

#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace quill::exchange {

using namespace com;

// The layout shared with the host. With 32-bit pointers these are the offsets of the record as
// the host declares it; with 64-bit pointers the pointer-sized fields widen in place.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
namespace layout {
constexpr bool kWide = sizeof(void*) == 8;
static_assert(offsetof(TParams, Block) == (kWide ? 8 : 4));
static_assert(offsetof(TParams, ErrorCode) == (kWide ? 16 : 8));
static_assert(offsetof(TParams, MethodName) == (kWide ? 24 : 12));
static_assert(offsetof(TParams, Flags) == (kWide ? 32 : 16));
static_assert(offsetof(TParams, Error) == (kWide ? 34 : 18));
static_assert(offsetof(TParams, ErrorSource) == (kWide ? 40 : 24));
static_assert(offsetof(TParams, ErrorDescription) == (kWide ? 64 : 40));
static_assert(offsetof(TParams, Result) == (kWide ? 88 : 56));
static_assert(offsetof(TParams, Context) == (kWide ? 96 : 60));
static_assert(offsetof(TParams, Next) == (kWide ? 104 : 64));
static_assert(offsetof(TParams, OwnsStorage) == (kWide ? 112 : 68));
static_assert(sizeof(TParams) == (kWide ? 120 : 72));
// A text field is one reference to the text, a variant 16 bytes with 32-bit pointers.
static_assert(sizeof(rtl::AnsiString) == sizeof(void*));
static_assert(sizeof(com::OleVariant) == (kWide ? 24 : 16));
} // namespace layout
#pragma GCC diagnostic pop

namespace {

const std::string& CapacityMessage() {
    static const std::string text =
        kernel::WideToAnsi(u"TParams - превышена емкость хранилища данных.");
    return text;
}

const std::string& UnsupportedTypeMessage() {
    static const std::string text = kernel::WideToAnsi(u"Неподдерживаемый тип параметра.");
    return text;
}

// Own storage: the descriptor and its 50 values in one allocation.
struct Storage {
    DISPPARAMS descriptor;
    VARIANT values[TParams::Capacity];
};

} // namespace

TParams::TParams() {
    ErrorSource = OleVariant(u"");
    ErrorDescription = OleVariant(u"");
}

TParams::~TParams() {
    delete std::exchange(Next, nullptr);
    if (OwnsStorage) {
        Clear();
        FreeStorage();
    }
}

void TParams::AllocateStorage() {
    if (Block) return;
    auto* storage = new Storage;
    std::memset(static_cast<void*>(storage), 0, sizeof(Storage));
    storage->descriptor.rgvarg = storage->values;
    Block = &storage->descriptor;
    OwnsStorage = true;
}

void TParams::FreeStorage() {
    if (OwnsStorage && Block) delete reinterpret_cast<Storage*>(Block);
    Block = nullptr;
    OwnsStorage = false;
}

void TParams::Attach(DISPPARAMS* descriptor) {
    if (OwnsStorage) {
        Clear();
        FreeStorage();
    }
    Block = descriptor;
}

void TParams::CheckIndex(std::int32_t index, const char* operation) const {
    static const std::string getTemplate =
        kernel::WideToAnsi(u"Неверный индекс (Get) Index=%d Count=%d");
    static const std::string setTemplate =
        kernel::WideToAnsi(u"Неверный индекс (Set) Index=%d Count=%d");
    const auto count = static_cast<long long>(Count());
    if (index < 0 || index >= count) {
        const std::string& pattern =
            std::string_view(operation) == "Get" ? getTemplate : setTemplate;
        infra::RaiseErrorText(rtl::Format(pattern, {index, count}));
    }
}

VARIANT& TParams::Slot(std::int32_t index) const {
    const auto i = static_cast<std::uint32_t>(index);
    return OwnsStorage ? Block->rgvarg[i] : Block->rgvarg[Count() - 1 - i];
}

OleVariant TParams::Get(std::int32_t index) const {
    CheckIndex(index, "Get");
    OleVariant copy;
    const HRESULT hr = VariantCopyInd(&copy, &Slot(index));
    if (FAILED(hr)) throw rtl::EOleSysError("Variant copy failed", hr);
    return copy;
}

void TParams::Set(std::int32_t index, const VARIANT& value) {
    CheckIndex(index, "Set");
    VARIANT& slot = Slot(index);
    if (OwnsStorage) {
        OleVariant copy(value);
        VariantClear(&slot);
        slot = copy.Detach();
        return;
    }
    if (!(slot.vt & VT_BYREF)) return; // a by-value argument of the caller is left alone
    if (!rtl::WriteThroughReference(slot, value))
        infra::RaiseCodedError(infra::codes::FreeText, {UnsupportedTypeMessage()});
}

void TParams::Add(const VARIANT& value) {
    if (!Block) AllocateStorage();
    if (!OwnsStorage) throw rtl::Exception("TParams.Add on a view of the caller's arguments");
    if (Block->cArgs >= Capacity) throw rtl::Exception(CapacityMessage());
    OleVariant copy(value);
    Block->rgvarg[Block->cArgs] = copy.Detach();
    ++Block->cArgs;
}

void TParams::Cut(std::uint32_t count) {
    if (!Block || count >= Block->cArgs) return;
    if (!OwnsStorage) throw rtl::Exception("TParams.Cut on a view of the caller's arguments");
    for (std::uint32_t i = count; i < Block->cArgs; ++i)
        VariantClear(&Block->rgvarg[i]);
    Block->cArgs = count;
}

void TParams::Clear() {
    Result = nullptr;
    Error = false;
    ErrorSource = OleVariant(u"");
    ErrorDescription = OleVariant(u"Очищено Clear");
    ErrorCode = 0;
    if (Block) {
        if (OwnsStorage) {
            for (std::uint32_t i = 0; i < Block->cArgs; ++i)
                VariantClear(&Block->rgvarg[i]);
            Block->cArgs = 0;
        } else {
            // The caller's values and descriptor are the caller's: the view is dropped instead.
            Block = nullptr;
        }
    }
    delete std::exchange(Next, nullptr);
}

bool TParams::SetErrorCode(std::int32_t code) {
    ErrorCode = code;
    Error = code != 0;
    return Error;
}

void TParams::SetErrorFromException(const std::exception& failure) {
    Error = true;
    SetErrorCode(infra::codes::FreeText);
    Error = true;
    if (Count() >= 2) {
        ErrorSource = Get(1);
    } else {
        ErrorSource = OleVariant(kernel::AnsiToWide(MethodName.View()));
    }
    std::u16string message;
    if (auto* e = dynamic_cast<const rtl::Exception*>(&failure))
        message = kernel::AnsiToWide(e->Message());
    else
        message = kernel::Utf8ToWide(failure.what());
    ErrorDescription = OleVariant(message);
    if (auto* coded = dynamic_cast<const infra::ECodedException*>(&failure))
        SetErrorCode(coded->Code);
}

void TParams::SetErrorFromCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        SetErrorFromException(e);
    } catch (...) {
        SetErrorFromException(rtl::Exception("Unknown failure"));
    }
}

void TParams::RaiseError(std::int32_t code, const rtl::FormatArgs& arguments) const {
    infra::RaiseCodedError(code, arguments);
}

void TParams::RaiseErrorText(const std::string& text) const {
    infra::RaiseErrorText(text);
}

} // namespace quill::exchange
