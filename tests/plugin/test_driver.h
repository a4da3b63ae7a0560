// A driver of the tests built on the real driver object base, with small tables that exercise
// every path of the call dispatch.
#pragma once

#include "infra/codes/coded_exception.h"
#include "platform/rtl/convert.h"
#include "plugin/control/call_entry.h"
#include "plugin/driver/base_dll_obj.h"

#include <span>
#include <string>
#include <vector>

namespace quill::test {

using com::OleVariant;

struct TestDriverState {
    OleVariant Value = OleVariant(7);
    std::string LastWrittenName;
    int Calls = 0;
};
inline TestDriverState& DriverState() {
    static TestDriverState state;
    return state;
}

inline void HandleChoose(rtl::TObject* context, std::vector<OleVariant>& args, OleVariant& result) {
    result = OleVariant(plugin::TBaseDllObj::GetBaseDll(context)->Devices->SelectDevice(args[0]));
}
inline void HandleAdd(rtl::TObject*, std::vector<OleVariant>& args, OleVariant& result) {
    ++DriverState().Calls;
    const int a = rtl::VarToInt(args[0]), b = rtl::VarToInt(args[1]);
    result = OleVariant(u"sum " + kernel::AnsiToWide(std::to_string(a + b)));
    args[0] = OleVariant(a * 10);
    args[1] = OleVariant(b * 10);
}
inline void HandleCode(rtl::TObject*, std::vector<OleVariant>& args, OleVariant& result) {
    result = args[0];
}
inline void HandleNothing(rtl::TObject*, std::vector<OleVariant>&, OleVariant& result) {
    ++DriverState().Calls;
    result = OleVariant(0);
}
inline void HandleFail(rtl::TObject*, std::vector<OleVariant>&, OleVariant&) {
    throw rtl::Exception("handler failed");
}
inline void HandleThrow(rtl::TObject*, std::vector<OleVariant>&, OleVariant&) { throw 42; }
inline bool HandleValue(rtl::TObject*, bool write, OleVariant& value, const std::string& name) {
    DriverState().LastWrittenName = name;
    if (write) DriverState().Value = value;
    else value = DriverState().Value;
    return true;
}

inline const plugin::MethodRecord kTableA[] = {
    {u"Выбрать,Choose", 1, HandleChoose},
};
inline const plugin::MethodRecord kTableB[] = {
    {u"Сложить,Add", 2, HandleAdd},
    {u"Код,Code", 1, HandleCode},
    {u"Ничего,Nothing", 0, HandleNothing},
    {u"Сбой,Fail", 0, HandleFail},
    {u"Дубль,Both", 0, HandleNothing},
    {u"Бросок,Throw", 0, HandleThrow},
};
inline const plugin::PropertyRecord kTable1[] = {
    {u"Значение", u"Value", u"", u"", false, u"", u"", HandleValue},
    {u"Только", u"ReadOnlyProp", u"", u"", true, u"", u"", HandleValue},
    {u"УстройствоВключено", u"DeviceIsOn", u"", u"", false, u"", u"", HandleValue},
    {u"Дубль", u"Both", u"", u"", false, u"", u"", HandleValue},
};

class TTestDriver : public plugin::TBaseDllObj {
public:
    TTestDriver()
        : plugin::TBaseDllObj(kTableA, kTableB, kTable1, rtl::ItemClassOf<registry::TDeviceItem>,
                              plugin::ListClassOf<registry::TDevicesList>, &plugin::CallEntry) {}
};

// Installs a test driver as the library's driver object for the life of the object.
class ScopedTestDriver {
public:
    ScopedTestDriver() : FSaved(plugin::DllObject) {
        DriverState() = TestDriverState();
        plugin::DllObject = &Driver;
    }
    ~ScopedTestDriver() { plugin::DllObject = FSaved; }
    ScopedTestDriver(const ScopedTestDriver&) = delete;
    ScopedTestDriver& operator=(const ScopedTestDriver&) = delete;

    TTestDriver Driver;

private:
    plugin::TBaseDllObj* FSaved;
};

// A block for an ordinary call: result slot, name, kind, then the arguments.
inline exchange::TParams& CallBlock(exchange::TParams& block, std::u16string_view name, int kind,
                                    std::initializer_list<OleVariant> args = {}) {
    block.AllocateStorage();
    block.Add(OleVariant());
    block.Add(OleVariant(name));
    block.Add(OleVariant(kind));
    for (const auto& a : args) block.Add(a);
    return block;
}

} // namespace quill::test
