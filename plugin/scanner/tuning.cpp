#include "plugin/scanner/tuning.h"

#include "infra/root/module_path.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/compare_string.h"
#include "platform/kernel/profile.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/exception.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/us_layout.h"

namespace quill::plugin {

const std::array<TTuningKey, 10> TuningKeys = {{
    {"ServerMTtimeout", 5000},
    {"ReleaseQueueLag", 1000},
    {"KeyDriblingTime", 200},
    {"SynchronizerLag", 300},
    {"DeleteHookedMsg", 1},
    {"SystemTimeCheck", 0},
    {"DoNotClearTasks", 0},
    {"QueueToOrvixMsgInt", 50},
    {"TasksCheckTimer", 0},
    {"ProximityReaderDriblingTime", 1000},
}};

namespace {

const TTuningKey& FindKey(std::string_view key) {
    for (const auto& entry : TuningKeys)
        if (kernel::CompareStringA(kernel::LOCALE_USER_DEFAULT, kernel::NORM_IGNORECASE, key,
                                   entry.Name) == kernel::CSTR_EQUAL)
            return entry;
    static const std::string opening = kernel::WideToAnsi(u"Неизвестный параметр запуска [");
    throw rtl::Exception(opening + std::string(key) + "]");
}

// A value of the file: a whole 32-bit integer, or else the default. The platform's integer read
// would take the leading digits of "12abc" and wrap values beyond 32 bits.
std::int32_t TuningValue(std::string_view text, std::int32_t defaultValue) {
    return rtl::TryStrToInt(text).value_or(defaultValue);
}

TStartupTuning Defaults() {
    return TStartupTuning{1000, 200, 300, 1, 0, 50, 0};
}

TStartupTuning& Values() {
    static TStartupTuning values = Defaults();
    return values;
}

} // namespace

std::string TuningFileNameFor(std::string_view libraryPath) {
    const std::size_t slash = libraryPath.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = libraryPath.rfind('.');
    const std::size_t stem =
        dot == std::string_view::npos || dot < nameStart ? libraryPath.size() : dot;
    return std::string(libraryPath.substr(0, stem)) + ".ini";
}

std::string TuningFileName() {
    return TuningFileNameFor(infra::ModuleFileName(false));
}

std::int32_t ReadTuningFrom(std::string_view key, const kernel::TProfileFile& file) {
    const TTuningKey& entry = FindKey(key);
    return TuningValue(file.GetString("Start", key, ""), entry.Default);
}

std::int32_t ReadTuningFrom(std::string_view key, const std::string& fileName) {
    FindKey(key); // an unknown name is refused before the file is touched
    return ReadTuningFrom(key, kernel::TProfileFile(fileName));
}

std::int32_t ReadTuning(std::string_view key) {
    return ReadTuningFrom(key, TuningFileName());
}

TStartupTuning ReadStartupTuningFrom(const std::string& fileName) {
    // One reading of the file for all seven values.
    const kernel::TProfileFile file(fileName);
    TStartupTuning values{};
    values.ReleaseQueueLag = ReadTuningFrom("ReleaseQueueLag", file);
    values.KeyDriblingTime = ReadTuningFrom("KeyDriblingTime", file);
    values.SynchronizerLag = ReadTuningFrom("SynchronizerLag", file);
    values.DeleteHookedMsg = ReadTuningFrom("DeleteHookedMsg", file);
    values.DoNotClearTasks = ReadTuningFrom("DoNotClearTasks", file);
    values.QueueToOrvixMsgInt = ReadTuningFrom("QueueToOrvixMsgInt", file);
    values.TasksCheckTimer = ReadTuningFrom("TasksCheckTimer", file);
    return values;
}

void ReadStartupTuning() {
    Values() = ReadStartupTuningFrom(TuningFileName());
}

const TStartupTuning& StartupTuning() {
    return Values();
}

void ReleaseModifierKeys() {
    static constexpr user::BYTE keys[] = {user::VK_LSHIFT, user::VK_LCONTROL, user::VK_LMENU,
                                          user::VK_RSHIFT, user::VK_RCONTROL, user::VK_RMENU};
    for (const user::BYTE key : keys)
        user::keybd_event(key, 0, user::KEYEVENTF_KEYUP, 0);
}

} // namespace quill::plugin
