#include "capture/manager/manager_quill_list.h"

#include "infra/codes/message_table.h"
#include "infra/root/process_messages.h"
#include "infra/version/version_info.h"
#include "platform/kernel/codepage.h"
#include "platform/user/clock.h"
#include "platform/user/message_queue.h"
#include "platform/user/timer.h"
#include "platform/user/window.h"
#include "quill/host.h"
#include "registry/device/result_codes.h"

namespace quill::capture {

using namespace com;

namespace {

// The scanner's own parameters, registered after the two common rows of every list.
const registry::TParamDefRow kScannerRows[] = {
    {u"HookPref", u"", u"Префикс", u"String", 0, u"+++", u"Префикс", nullptr},
    {u"HookPost", u"", u"Постфикс", u"String", 0, u"+++", u"Постфикс", nullptr},
    {u"HookTimeOut", u"", u"Время ожидания", u"Integer", 0, u"65",
     u"Время ожидания ввода следующего символа (в мс.)\r\nДопустимые значения: 50...1000", nullptr},
    {u"UseInterCharInterval", u"", u"Использовать межсимвольный интервал", u"Integer", 0, u"0",
     u"Использовать межсимвольный интервал для идентификации данных считывателя", nullptr},
    {u"MinDataLen", u"", u"Минимальная длина данных", u"Integer", 0, u"4",
     u"Минимальное количество символов данных. Используется при отсутствии префикса и постфикса",
     nullptr},
};

// The driver's texts for its result codes, from Success to LastDriverCode.
constexpr const char16_t* kErrorTexts[] = {
    u"Операция выполнена успешно",
    u"Порт недоступен",
    u"Нет связи",
    u"Устройство не обнаружено",
    u"Неверный тип параметра",
    u"Недопустимое значение параметра",
    u"Ошибка в данных",
    u"Внутренняя ошибка",
};

registry::TDriverInfo ScannerDriverInfo() {
    registry::TDriverInfo info = registry::TDevicesList::DefaultDriverInfo();
    info.Name = u"Scanner";
    const auto version = infra::TVersionInfo::ForOwnModule();
    info.VersionText = kernel::AnsiToWide(version->FileVersion());
    const auto numbers = version->VersionNumbers();
    info.VersionMajor = static_cast<std::int32_t>(numbers.High >> 16);
    info.VersionMinor = static_cast<std::int32_t>(numbers.High & 0xFFFF);
    info.VersionRelease = static_cast<std::int32_t>(numbers.Low >> 16);
    return info;
}

constexpr const char* kTimerClass = "TQuillCaptureTimer";
constexpr user::UINT_PTR kTimerId = 1;

user::HKL gLayout = nullptr;
ScannerListAccessor gAccessor = nullptr;

} // namespace

void SetScannerListAccessor(ScannerListAccessor accessor) {
    gAccessor = accessor;
}
TManagerQuillList* ScannerList() {
    return gAccessor ? gAccessor() : nullptr;
}
user::HKL ConversionLayout() {
    return gLayout;
}

void UnregisterTimerWindowClass() {
    user::UnregisterClassA(kTimerClass);
}

TManagerQuillList::TManagerQuillList(rtl::TCollectionItemClass itemClass, ui::TFormBackend* forms)
    : registry::TDevicesList(itemClass), FFramer(*this, *this), FForms(forms) {
    const registry::TDriverInfo info = ScannerDriverInfo();
    ModelList().RegisterBaseModel(ScannerModelGuid, u"Сканер штрихкодов клавиатурный", 1, 1, 1, 1,
                                  0, u"", u"СканерКлавиатурный", u"Сканер",
                                  u"Сканер штрихкодов / считыватель карт", &info);
    SetParamDefault(kernel::WideToAnsi(u"Неразделяемое"), OleVariant(u"1"), false);
    RegisterParams(kScannerRows);
    FThread = user::GetCurrentThreadId();
    static const bool registered = [] {
        user::WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &TManagerQuillList::TimerWindowProc;
        windowClass.lpszClassName = kTimerClass;
        return user::RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
    FTimerWindow = user::CreateWindowExA(0, kTimerClass, "", 0, nullptr, nullptr);
    if (FTimerWindow)
        user::SetWindowLongPtrA(FTimerWindow, user::GWLP_USERDATA,
                                reinterpret_cast<user::LONG_PTR>(this));
    gLayout = user::LoadKeyboardLayoutA("00000409", user::KLF_ACTIVATE);
    FFramer.SetCapturing(false);
}

TManagerQuillList::~TManagerQuillList() {
    // A time-out handler running on another thread gets up to 3000 ms to finish; one running
    // further up this thread's own stack cannot, and stops by itself once the list is gone.
    if (FFramer.TimeoutRunning() && user::GetCurrentThreadId() != FThread) {
        const auto start = user::GetTickCount64();
        while (FFramer.TimeoutRunning() && user::GetTickCount64() - start < 3000) {
            infra::ProcessMessages();
            user::Sleep(1);
        }
    }
    const auto guard = Use();
    *FAlive = false;
    // Keys still held when the list goes are dropped, not typed: the session that held them has
    // ended (switching the last device off gives them back instead).
    FFramer.Reset();
    RemoveHook();
    StopTimer();
    for (user::HWND window : {FTimerWindow, FHookTimerWindow}) {
        if (!window) continue;
        user::SetWindowLongPtrA(window, user::GWLP_USERDATA, 0);
        user::DestroyWindow(window); // refused for a hook thread's window, which ends with it
    }
    Clear(); // the devices leave while the scanner list is still whole
}

std::string TManagerQuillList::GetErrorText(std::int32_t code) const {
    if (code >= registry::results::Success && code <= registry::results::LastDriverCode)
        return kernel::WideToAnsi(kErrorTexts[code]);
    return kernel::WideToAnsi(infra::ErrorText(code));
}

// ---- the timer ----

user::LRESULT CALLBACK TManagerQuillList::TimerWindowProc(user::HWND hwnd, user::UINT message,
                                                          user::WPARAM wParam,
                                                          user::LPARAM lParam) {
    if (message == user::WM_TIMER && wParam == kTimerId) {
        auto* list = reinterpret_cast<TManagerQuillList*>(
            user::GetWindowLongPtrA(hwnd, user::GWLP_USERDATA));
        if (list) {
            try {
                const auto guard = list->Use();
                list->OnTimeout();
            } catch (...) {
                // A failing handler leaves the timer stopped; the message loop goes on.
            }
        }
        return 0;
    }
    return user::DefWindowProcA(hwnd, message, wParam, lParam);
}

void TManagerQuillList::StopTimer() {
    if (FRunningTimerWindow) user::KillTimer(FRunningTimerWindow, kTimerId);
    FRunningTimerWindow = nullptr;
    FTimerRunning = false;
}

user::HWND TManagerQuillList::TimerWindowOfThisThread() {
    const std::uint32_t thread = user::GetCurrentThreadId();
    if (thread == FThread) return FTimerWindow;
    if (FHookTimerWindow && thread == FHookTimerThread) return FHookTimerWindow;
    // The hook runs on another thread: a window there receives the timer. One made for an
    // earlier hook thread is given up (only its thread may destroy it; it ends with that thread).
    if (FHookTimerWindow) user::SetWindowLongPtrA(FHookTimerWindow, user::GWLP_USERDATA, 0);
    FHookTimerWindow = user::CreateWindowExA(0, kTimerClass, "", 0, nullptr, nullptr);
    FHookTimerThread = thread;
    if (FHookTimerWindow)
        user::SetWindowLongPtrA(FHookTimerWindow, user::GWLP_USERDATA,
                                reinterpret_cast<user::LONG_PTR>(this));
    return FHookTimerWindow;
}

bool TManagerQuillList::StartTimer(std::int32_t intervalMs) {
    StopTimer();
    const user::HWND window = TimerWindowOfThisThread();
    if (intervalMs <= 0 || !window) return false;
    FTimerRunning =
        user::SetTimer(window, kTimerId, static_cast<user::UINT>(intervalMs), nullptr) != 0;
    if (FTimerRunning) FRunningTimerWindow = window;
    return FTimerRunning;
}

void TManagerQuillList::OnTimeout() {
    FFramer.OnTimeout();
}

} // namespace quill::capture
