// The call dispatch of the driver object, driven through the guarded call entry as a host drives
// it: special requests, ordinary calls by name, value-array arguments, chains, result codes, host
// task objects as contexts, and every failure as the block's error fields.
#include "exchange/valuearray/value_array_class.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "plugin/control/call_entry.h"
#include "plugin/test_driver.h"
#include "support/language.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <new>

using namespace quill;
using namespace quill::plugin;
using com::ComPtr;
using com::OleVariant;
using exchange::TParams;
using test::DriverState;

namespace {

std::u16string Text(const com::VARIANT& v) {
    return rtl::VarToWide(v);
}
std::string Ansi(std::u16string_view text) {
    return kernel::WideToAnsi(text);
}

bool Call(TParams& block, rtl::TObject* context = nullptr) {
    return GuardedCallEntry(&block, context);
}

// A host task object of the given class name.
template <const char* Name> class TTask : public THostTask {
  public:
    std::string_view ClassName() const override { return Name; }
};
constexpr char kInternalTask[] = "TInternalTask";
constexpr char kTaskThread[] = "TTaskThread";
constexpr char kOtherClass[] = "TOtherThing";

// An object of the host's as large as a task object, under another class name.
using TLargeObject = TTask<kOtherClass>;

// A small object of the host's: anything written at byte offset 140 would land beyond it.
class TSmallObject : public rtl::TObject {
  public:
    std::string_view ClassName() const override { return "TSmallObject"; }
    std::uint64_t Field = 0x1122334455667788u;
};

ComPtr<ISafeArray> Column(std::initializer_list<OleVariant> cells, int columns = 1) {
    ComPtr<ISafeArray> array = exchange::CreateValueArray();
    array->SetBounds(static_cast<std::int32_t>(cells.size()), columns);
    int row = 0;
    for (const auto& cell : cells)
        array->SetValue(row++, 0, cell);
    return array;
}

OleVariant Cell(ISafeArray* array, int row, int column) {
    OleVariant value;
    array->GetValue(row, column, &value);
    return value;
}

ISafeArray* ArrayOf(const com::VARIANT& v) {
    return v.vt == com::VT_DISPATCH ? static_cast<ISafeArray*>(v.pdispVal) : nullptr;
}

const std::u16string kCountMessage = u"Неверное количество переданных параметров\r\nФункция [";

} // namespace

// ---- the failure table ----

struct FailureRow {
    const char* Case;
    std::int32_t Code;
    std::u16string Description;
};

TEST(DispatchFailures, EveryRowBecomesTheBlocksErrorFields) {
    // The messages checked here are the Russian ones.
    test::ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    test::ScopedTestDriver installed;
    auto check = [](TParams& block, const FailureRow& row, rtl::TObject* context = nullptr) {
        block.Error = false;
        EXPECT_FALSE(Call(block, context)) << row.Case;
        EXPECT_TRUE(block.Error) << row.Case;
        EXPECT_EQ(block.ErrorCode, row.Code) << row.Case;
        EXPECT_EQ(Text(block.ErrorDescription), row.Description) << row.Case;
    };
    {
        TParams block;
        block.AllocateStorage();
        block.Add(OleVariant());
        block.Add(OleVariant(u"Nothing"));
        check(block, {"two arguments", 20000, u"Недостаточно параметров при вызове метода"});
        EXPECT_EQ(Text(block.ErrorSource), u"Nothing");
        EXPECT_EQ(DriverState().Calls, 0);
    }
    {
        TParams block;
        check(test::CallBlock(block, u"", 1), {"empty name", 20000, u"Не указано имя метода"});
    }
    {
        TParams block;
        check(test::CallBlock(block, u"Missing", 1),
              {"unknown name", 20036, u"Метод/Свойство [Missing] не обнаружено"});
        EXPECT_EQ(Text(block.ErrorSource), u"Missing");
    }
    {
        TParams block;
        check(test::CallBlock(block, u"Value", 1, {OleVariant(1)}),
              {"kind 1 on a property", 20036, u"Метод/Свойство [Value] не обнаружено"});
        EXPECT_EQ(DriverState().PropertyCalls, 0);
    }
    {
        TParams block;
        check(test::CallBlock(block, u"readonlyprop", 3, {OleVariant(1)}),
              {"read-only write", 20000, u"Свойство [readonlyprop] доступно только для чтения"});
        EXPECT_EQ(DriverState().PropertyCalls, 0);
    }
    {
        TParams block; // a write without the value to write
        test::CallBlock(block, u"Value", 3);
        block.Error = false;
        EXPECT_FALSE(Call(block));
        EXPECT_EQ(block.ErrorCode, 20000);
        EXPECT_EQ(DriverState().PropertyCalls, 0);
    }
    {
        TParams block;
        check(test::CallBlock(block, u"add", 1, {OleVariant(1)}),
              {"count", 20000, kCountMessage + u"add]\r\nПередано: 1\r\nНеобходимо: 2"});
        EXPECT_EQ(DriverState().Calls, 0);
    }
    {
        TParams block;
        check(test::CallBlock(block, u"Code", 1, {OleVariant(5)}),
              {"result code", 5, u"list text 5"});
        EXPECT_EQ(Text(block.Get(0)), u"5");
    }
    {
        TParams block;
        TLargeObject other; // no task object: GetBaseDll finds no driver object behind it
        check(test::CallBlock(block, u"DeviceCount", 2),
              {"GetBaseDll", 20000, u"Вызов метода GetBaseDll с очень плохим параметром!"}, &other);
    }
    {
        TParams block;
        check(test::CallBlock(block, u"Fail", 1),
              {"plain failure in a handler", 20000, u"handler failed"});
    }
    {
        TParams block;
        check(test::CallBlock(block, u"Coded", 1),
              {"coded failure in a handler", 20029, u"Неверный тип свойства [X]"});
    }
}

TEST(DispatchFailures, ResultCodeTakesTheCurrentDevicesText) {
    test::ScopedTestDriver installed;
    installed.Driver.NewDevice();
    installed.Driver.Devices->SetCurrent(1);
    TParams block;
    EXPECT_FALSE(Call(test::CallBlock(block, u"Code", 1, {OleVariant(3)})));
    EXPECT_EQ(block.ErrorCode, 3);
    EXPECT_EQ(Text(block.ErrorDescription), u"device text 3");
    EXPECT_EQ(rtl::VarToInt(block.Get(0)), 3); // argument 0 already holds the code
    EXPECT_EQ(installed.Driver.Devices->GetItem(0)->CallContext(), nullptr);
}

TEST(DispatchFailures, ResultKindsThatRaiseAndThoseThatDoNot) {
    test::ScopedTestDriver installed;
    struct Row {
        OleVariant Result;
        bool Raises;
        std::int32_t Code;
    };
    const Row rows[] = {
        {OleVariant(0), false, 0},    {OleVariant(u"3"), false, 0},
        {OleVariant(2.5), false, 0},  {OleVariant(false), false, 0},
        {OleVariant(true), true, -1}, {OleVariant(static_cast<com::LONGLONG>(7)), true, 7},
        {OleVariant(-4), true, -4},
    };
    for (const Row& row : rows) {
        TParams block;
        const bool ok = Call(test::CallBlock(block, u"Code", 1, {row.Result}));
        EXPECT_EQ(ok, !row.Raises) << kernel::WideToUtf8(Text(row.Result));
        EXPECT_EQ(block.Error, row.Raises);
        if (row.Raises) {
            EXPECT_EQ(block.ErrorCode, row.Code);
        }
        EXPECT_EQ(block.Get(0).vt, row.Result.vt); // the result is in argument 0 either way
    }
}

TEST(DispatchFailures, FailingHandlerResetsTheDeviceContextAndFreesTheArguments) {
    test::ScopedTestDriver installed;
    registry::TDeviceItem* device = installed.Driver.NewDevice();
    TTask<kInternalTask> task;
    task.SetDeviceGuid(device->Guid());
    ComPtr<ISafeArray> argument = exchange::CreateValueArray();
    argument->AddRef();
    const com::ULONG before = argument->Release();
    {
        TParams block;
        EXPECT_FALSE(Call(test::CallBlock(block, u"Fail1", 1,
                                          {OleVariant(static_cast<IDispatch*>(argument.Get()))}),
                          &task));
        EXPECT_EQ(block.ErrorCode, 20000);
        EXPECT_EQ(DriverState().SeenDeviceContext, &task); // set for the call
        EXPECT_EQ(device->CallContext(), nullptr);         // and reset after its failure
        argument->AddRef();
        EXPECT_EQ(argument->Release(), before + 1); // only the block holds one more
    }
    argument->AddRef();
    EXPECT_EQ(argument->Release(), before); // the temporary copy is gone as well

    installed.Driver.Devices->SetCurrent(1); // no task: the current device by number
    TParams block;
    EXPECT_FALSE(Call(test::CallBlock(block, u"Fail", 1)));
    EXPECT_EQ(device->CallContext(), nullptr);
    TParams readOnly;
    EXPECT_FALSE(Call(test::CallBlock(readOnly, u"ReadOnlyProp", 3, {OleVariant(1)}), &task));
    EXPECT_EQ(device->CallContext(), nullptr);
}

// ---- names ----

TEST(DispatchNames, SpecialRequestsMatchOnlyInTheirExactSpelling) {
    test::ScopedTestDriver installed;
    installed.Driver.NewDevice();
    for (const char* name : {"__free", "__FREE", "__load", "__@@switchoff"}) {
        TParams block;
        block.MethodName = name;
        EXPECT_TRUE(Call(test::CallBlock(block, u"Nothing", 1))) << name;
        EXPECT_FALSE(block.Error) << name;
    }
    EXPECT_EQ(DriverState().Calls, 4);
    EXPECT_EQ(installed.Driver.Devices->Count(), 1);
}

TEST(DispatchNames, EitherNameOfAPairInAnyLetterCase) {
    test::ScopedTestDriver installed;
    for (const char16_t* name :
         {u"switchon", u"SWITCHON", u"Включить", u"вКЛЮЧИТЬ", u"Nothing", u"ничего"}) {
        TParams block;
        EXPECT_TRUE(Call(test::CallBlock(block, name, 1))) << Ansi(name);
    }
    EXPECT_EQ(DriverState().Calls, 6);
    TParams block;
    EXPECT_FALSE(Call(test::CallBlock(block, u"Включить,SwitchOn", 1))); // the pair is no name
    EXPECT_EQ(block.ErrorCode, 20036);
}

TEST(DispatchNames, MethodWinsOverPropertyOfTheSameName) {
    test::ScopedTestDriver installed;
    TParams block;
    EXPECT_TRUE(Call(test::CallBlock(block, u"Both", 2)));
    EXPECT_EQ(DriverState().Calls, 1);
    EXPECT_EQ(DriverState().PropertyCalls, 0);
    EXPECT_EQ(rtl::VarToInt(block.Get(0)), 0);
}

TEST(DispatchNames, PropertyReadWriteAndOtherKinds) {
    test::ScopedTestDriver installed;
    {
        TParams block;
        EXPECT_TRUE(Call(test::CallBlock(block, u"value", 2)));
        EXPECT_EQ(rtl::VarToInt(block.Get(0)), 7);
    }
    {
        TParams block;
        EXPECT_TRUE(Call(test::CallBlock(block, u"VALUE", 3, {OleVariant(u"neu")})));
        EXPECT_EQ(Text(DriverState().Value), u"neu");
        EXPECT_EQ(DriverState().LastWrittenName, Ansi(u"Значение")); // the handler gets NameRu
    }
    {
        TParams method, property;
        EXPECT_FALSE(Call(test::CallBlock(method, u"Nothing", 4)));
        EXPECT_FALSE(Call(test::CallBlock(property, u"Value", 0)));
        EXPECT_FALSE(method.Error);
        EXPECT_FALSE(property.Error);
        EXPECT_EQ(DriverState().Calls, 0);
        EXPECT_EQ(DriverState().PropertyCalls, 2);
    }
}

// ---- arguments ----

TEST(DispatchArguments, WrittenBackAfterTheCall) {
    test::ScopedTestDriver installed;
    TParams block;
    EXPECT_TRUE(Call(test::CallBlock(block, u"Сложить", 1, {OleVariant(2), OleVariant(3)})));
    EXPECT_EQ(Text(block.Get(0)), u"sum 5");
    EXPECT_EQ(rtl::VarToInt(block.Get(3)), 20);
    EXPECT_EQ(rtl::VarToInt(block.Get(4)), 30);
}

TEST(DispatchArguments, ValueArrayOfOneColumnStandsForTheArguments) {
    test::ScopedTestDriver installed;
    ComPtr<ISafeArray> array = Column({OleVariant(2), OleVariant(3)});
    TParams block;
    EXPECT_TRUE(Call(
        test::CallBlock(block, u"Add", 1, {OleVariant(static_cast<IDispatch*>(array.Get()))})));
    ASSERT_EQ(DriverState().SeenArguments.size(), 2u);
    EXPECT_EQ(rtl::VarToInt(DriverState().SeenArguments[0]), 2);
    EXPECT_EQ(rtl::VarToInt(DriverState().SeenArguments[1]), 3);
    EXPECT_EQ(Text(block.Get(0)), u"sum 5");
    EXPECT_EQ(block.Count(), 4u);
    EXPECT_EQ(ArrayOf(block.Get(3)), array.Get());
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 0, 0)), 20);
    EXPECT_EQ(rtl::VarToInt(Cell(array.Get(), 1, 0)), 30);
}

TEST(DispatchArguments, ValueArrayIsRestoredAfterAFailingCallToo) {
    test::ScopedTestDriver installed;
    ComPtr<ISafeArray> pair = Column({OleVariant(u"x"), OleVariant(3)});
    TParams block;
    EXPECT_FALSE(
        Call(test::CallBlock(block, u"Add", 1, {OleVariant(static_cast<IDispatch*>(pair.Get()))})));
    EXPECT_EQ(block.ErrorCode, 20000); // "x" is no number
    EXPECT_EQ(block.Count(), 4u);
    EXPECT_EQ(ArrayOf(block.Get(3)), pair.Get());
    EXPECT_EQ(Text(Cell(pair.Get(), 0, 0)), u"x");
    EXPECT_EQ(rtl::VarToInt(Cell(pair.Get(), 1, 0)), 3);

    // With the count already right the array is the argument itself, not its cells.
    ComPtr<ISafeArray> single = Column({OleVariant(-1)});
    TParams one;
    EXPECT_TRUE(Call(
        test::CallBlock(one, u"Code", 1, {OleVariant(static_cast<IDispatch*>(single.Get()))})));
    EXPECT_EQ(ArrayOf(one.Get(0)), single.Get());
    EXPECT_EQ(ArrayOf(one.Get(3)), single.Get());
}

TEST(DispatchArguments, ValueArrayOfTheWrongShapeCountsAsNoArgument) {
    test::ScopedTestDriver installed;
    ComPtr<ISafeArray> array = Column({OleVariant(2), OleVariant(3)}, 2);
    TParams block;
    EXPECT_FALSE(Call(
        test::CallBlock(block, u"Add", 1, {OleVariant(static_cast<IDispatch*>(array.Get()))})));
    EXPECT_EQ(Text(block.ErrorDescription),
              kCountMessage + u"Add]\r\nПередано: 0\r\nНеобходимо: 2");
    EXPECT_EQ(ArrayOf(block.Get(3)), array.Get());
    EXPECT_EQ(DriverState().Calls, 0);
}

TEST(DispatchArguments, ExtraArgumentsForAMethodWithoutAny) {
    test::ScopedTestDriver installed;
    TParams block;
    EXPECT_FALSE(
        Call(test::CallBlock(block, u"Nothing", 1, {OleVariant(1), OleVariant(2), OleVariant(3)})));
    EXPECT_EQ(Text(block.ErrorDescription),
              kCountMessage + u"Nothing]\r\nПередано: 3\r\nНеобходимо: 0");
    EXPECT_EQ(DriverState().Calls, 0);
}

TEST(DispatchArguments, NameAndKindInOtherFormsAreConverted) {
    // The messages checked here are the Russian ones.
    test::ScopedLanguage russian("ru_RU.UTF-8");
    QUILL_SKIP_UNLESS_LANGUAGE(russian);
    test::ScopedTestDriver installed;
    {
        TParams block;
        block.AllocateStorage();
        block.Add(OleVariant());
        block.Add(OleVariant(5));
        block.Add(OleVariant(1));
        EXPECT_FALSE(Call(block));
        EXPECT_EQ(Text(block.ErrorDescription), u"Метод/Свойство [5] не обнаружено");
    }
    {
        TParams block;
        block.AllocateStorage();
        block.Add(OleVariant());
        block.Add(OleVariant(u"Value"));
        block.Add(OleVariant(u"2"));
        EXPECT_TRUE(Call(block));
        EXPECT_EQ(rtl::VarToInt(block.Get(0)), 7);
    }
    {
        TParams block;
        block.AllocateStorage();
        block.Add(OleVariant());
        block.Add(OleVariant(u"Nothing"));
        block.Add(OleVariant(static_cast<com::LONGLONG>(1)));
        EXPECT_TRUE(Call(block));
        EXPECT_EQ(DriverState().Calls, 1);
    }
}

TEST(DispatchArguments, BlockThatViewsTheCallersVectorWritesThroughItsReferences) {
    test::ScopedTestDriver installed;
    // The caller's vector holds the arguments last-first; the name is a text by reference and the
    // result slot a variant by reference.
    com::VARIANT result;
    com::VariantInit(&result);
    com::BStr name(u"Add");
    BSTR nameText = name.Get();
    com::LONG a = 2, b = 3;
    com::VARIANT args[5];
    for (auto& arg : args)
        com::VariantInit(&arg);
    args[4].vt = com::VT_BYREF | com::VT_VARIANT;
    args[4].pvarVal = &result;
    args[3].vt = com::VT_BYREF | com::VT_BSTR;
    args[3].pbstrVal = &nameText;
    args[2].vt = com::VT_I4;
    args[2].lVal = 1;
    args[1].vt = com::VT_BYREF | com::VT_I4;
    args[1].plVal = &a;
    args[0].vt = com::VT_BYREF | com::VT_I4;
    args[0].plVal = &b;
    com::DISPPARAMS caller{args, nullptr, 5, 0};
    TParams block;
    block.Attach(&caller);
    EXPECT_TRUE(Call(block));
    EXPECT_FALSE(block.Error);
    EXPECT_EQ(Text(result), u"sum 5");
    EXPECT_EQ(a, 20);
    EXPECT_EQ(b, 30);
    com::VariantClear(&result);
}

// ---- chains ----

TEST(DispatchChains, EveryMethodBlockRunsAndAPropertyWriteEndsTheChain) {
    test::ScopedTestDriver installed;
    {
        TParams first;
        test::CallBlock(first, u"Nothing", 1);
        first.Next = new TParams;
        test::CallBlock(*first.Next, u"Add", 1, {OleVariant(1), OleVariant(1)});
        EXPECT_TRUE(Call(first));
        EXPECT_EQ(DriverState().Calls, 2);
        EXPECT_EQ(Text(first.Next->Get(0)), u"sum 2");
    }
    {
        TParams first;
        test::CallBlock(first, u"Value", 3, {OleVariant(9)});
        first.Next = new TParams;
        test::CallBlock(*first.Next, u"Nothing", 1);
        EXPECT_TRUE(Call(first));
        EXPECT_EQ(DriverState().Calls, 2); // the block behind the write did not run
        EXPECT_EQ(rtl::VarToInt(DriverState().Value), 9);
    }
    {
        // The result is the last block's: a kind that calls nothing ends the chain with false.
        TParams first;
        test::CallBlock(first, u"Nothing", 1);
        first.Next = new TParams;
        test::CallBlock(*first.Next, u"Nothing", 7);
        EXPECT_FALSE(Call(first));
        EXPECT_FALSE(first.Error);
        EXPECT_EQ(DriverState().Calls, 3);
    }
}

// ---- special requests ----

TEST(DispatchRequests, FreeDropsSinkAndDevicesButHostReferencesStayValid) {
    test::TTestEventSink sink; // outlives the driver, which may still hold it
    test::ScopedTestDriver installed;
    ASSERT_EQ(installed.Driver.SetEventSupport(&sink), com::S_OK);
    registry::TDeviceItem* device = installed.Driver.NewDevice();
    installed.Driver.NewDevice();
    IDeviceItem* held = nullptr;
    ASSERT_EQ(static_cast<IDeviceItem*>(device)->QueryInterface(IDeviceItem::Guid,
                                                                reinterpret_cast<void**>(&held)),
              com::S_OK);
    TParams block;
    block.MethodName = "__FRee";
    EXPECT_FALSE(Call(block));
    EXPECT_FALSE(block.Error);
    EXPECT_EQ(installed.Driver.Devices->Count(), 0);
    EXPECT_EQ(installed.Driver.List().Released, 1);
    EXPECT_FALSE(installed.Driver.EventSink);
    std::int16_t enabled = 1;
    EXPECT_EQ(held->GetEnabled(&enabled), com::S_OK);
    EXPECT_EQ(enabled, 0);
    held->Release();
}

TEST(DispatchRequests, LoadAndSwitchOffStopTheChain) {
    test::ScopedTestDriver installed;
    registry::TDeviceItem* device = installed.Driver.NewDevice();
    device->SetState(1);
    ASSERT_EQ(device->GetState(), 1);
    for (const char* name : {"__Load", "__@@SwitchOff"}) {
        TParams block;
        block.MethodName = name;
        block.Next = new TParams;
        test::CallBlock(*block.Next, u"Nothing", 1);
        EXPECT_FALSE(Call(block)) << name;
        EXPECT_FALSE(block.Error);
    }
    EXPECT_EQ(DriverState().Calls, 0);
    EXPECT_EQ(device->GetState(), 0);
}

TEST(DispatchRequests, EventSupportHandsOverTheSinkAndLocksTheSwitchProperty) {
    test::TTestEventSink sink;
    test::ScopedTestDriver installed;
    test::TTestDriver& driver = installed.Driver;
    {
        TParams write;
        EXPECT_TRUE(Call(test::CallBlock(write, u"DeviceIsOn", 3, {OleVariant(1)})));
    }
    TParams block;
    block.MethodName = "__@@EventSupport";
    block.Context = static_cast<com::IUnknown*>(&sink);
    test::CallBlock(block, u"ignored", 1);
    block.Next = new TParams;
    EXPECT_FALSE(Call(block));
    EXPECT_FALSE(block.Error);
    EXPECT_EQ(block.Next, nullptr); // cleared with its chain
    ASSERT_EQ(block.Count(), 1u);
    const OleVariant check = block.Get(0);
    ASSERT_EQ(check.vt, com::VT_UNKNOWN);
    EXPECT_EQ(ComPtr<IDllMemberCheck>::QueryFrom(check.punkVal).Get(),
              static_cast<IDllMemberCheck*>(&driver));
    EXPECT_EQ(driver.EventSink.Get(), static_cast<IEventSupport2*>(&sink));
    EXPECT_EQ(driver.Devices->EventSink.Get(), static_cast<IEventSupport2*>(&sink));

    TParams write;
    EXPECT_FALSE(Call(test::CallBlock(write, u"УстройствоВключено", 3, {OleVariant(1)})));
    EXPECT_EQ(write.ErrorCode, 20000);
    EXPECT_EQ(Text(write.ErrorDescription),
              u"Свойство [УстройствоВключено] доступно только для чтения");
    TParams read;
    EXPECT_TRUE(Call(test::CallBlock(read, u"DeviceIsOn", 2)));
    com::BStr name(u"УстройствоВключено");
    EXPECT_TRUE(driver.IsProperty(name.Get()));

    // A second property table set afterwards does not lift the lock.
    static const PropertyRecord table2[] = {
        {u"Другое", u"Other", u"", u"", false, u"", u"", test::HandleValue},
    };
    driver.SetPropertyTable2(table2);
    TParams again;
    EXPECT_FALSE(Call(test::CallBlock(again, u"DeviceIsOn", 3, {OleVariant(1)})));
    EXPECT_EQ(again.ErrorCode, 20000);
    ASSERT_EQ(driver.SetEventSupport(nullptr), com::S_OK);
}

// ---- contexts ----

template <class Task> void CheckTaskContext() {
    test::ScopedTestDriver installed;
    test::TTestDriver& driver = installed.Driver;
    driver.NewDevice();
    registry::TDeviceItem* target = driver.NewDevice();
    driver.Devices->SetCurrent(1); // the task's device wins over the current one
    Task task;
    task.SetDeviceGuid(target->Guid());
    EXPECT_EQ(driver.CurrentDevice(&task), target);
    EXPECT_EQ(target->CallContext(), &task);
    target->SetCallContext(nullptr);

    TParams block;
    EXPECT_TRUE(Call(test::CallBlock(block, u"Nothing", 1), &task));
    EXPECT_EQ(task.DriverSlot(), static_cast<rtl::TObject*>(&driver));
    EXPECT_EQ(DriverState().SeenContext, &task);
    EXPECT_EQ(TBaseDllObj::GetBaseDll(&task), &driver);
    EXPECT_EQ(target->CallContext(), nullptr);
    EXPECT_EQ(task.DeviceGuid(), target->Guid());

    Task stranger; // a device the list does not hold
    EXPECT_EQ(driver.CurrentDevice(&stranger), nullptr);
}

TEST(DispatchContexts, InternalTaskGetsTheSlotAndItsDevice) {
    CheckTaskContext<TTask<kInternalTask>>();
}
TEST(DispatchContexts, TaskThreadGetsTheSlotAndItsDevice) {
    CheckTaskContext<TTask<kTaskThread>>();
}

TEST(DispatchContexts, NoContextMeansTheDriverObjectAndTheCurrentDevice) {
    test::ScopedTestDriver installed;
    test::TTestDriver& driver = installed.Driver;
    EXPECT_EQ(driver.CurrentDevice(nullptr), nullptr);
    registry::TDeviceItem* first = driver.NewDevice();
    EXPECT_EQ(driver.CurrentDevice(nullptr), nullptr); // number 0: none chosen
    driver.Devices->SetCurrent(2);
    EXPECT_EQ(driver.CurrentDevice(nullptr), nullptr); // beyond the list
    driver.Devices->SetCurrent(1);
    first->SetCallContext(&driver);
    EXPECT_EQ(driver.CurrentDevice(nullptr), first);
    EXPECT_EQ(first->CallContext(), nullptr);

    TParams block;
    EXPECT_TRUE(Call(test::CallBlock(block, u"Nothing", 1)));
    EXPECT_EQ(DriverState().SeenContext, static_cast<rtl::TObject*>(&driver));
    EXPECT_EQ(TBaseDllObj::GetBaseDll(&driver), &driver);
}

TEST(DispatchContexts, AHandlerRunsForTheDriverThatDispatchedNotTheInstalledOne) {
    test::ScopedTestDriver installed;
    test::TTestDriver other;
    TParams block;
    EXPECT_TRUE(other.Dispatch(&test::CallBlock(block, u"Nothing", 1), nullptr));
    EXPECT_EQ(DriverState().SeenDriver, &other);
    EXPECT_EQ(DriverState().SeenContext, static_cast<rtl::TObject*>(&other));

    // Choose selects in the list of the driver it ran for.
    other.NewDevice();
    TParams choose;
    EXPECT_TRUE(other.Dispatch(&test::CallBlock(choose, u"Choose", 1, {OleVariant(1)}), nullptr));
    EXPECT_EQ(other.Devices->Current(), 1);
    EXPECT_EQ(installed.Driver.Devices->Current(), 0);
}

TEST(DispatchContexts, ObjectsThatAreNoTaskAreLeftByteForByte) {
    test::ScopedTestDriver installed;
    TLargeObject large;
    std::memset(reinterpret_cast<unsigned char*>(&large) + sizeof(rtl::TObject), 0x5A,
                sizeof large - sizeof(rtl::TObject));
    std::array<unsigned char, sizeof(TLargeObject)> before;
    std::memcpy(before.data(), &large, sizeof large);
    TParams block;
    EXPECT_TRUE(Call(test::CallBlock(block, u"Nothing", 1), &large));
    EXPECT_EQ(std::memcmp(before.data(), &large, sizeof large), 0);

    // A small object inside a guarded buffer: nothing may be written past its end.
    alignas(std::max_align_t) unsigned char buffer[256];
    std::memset(buffer, 0xC3, sizeof buffer);
    auto* small = new (buffer) TSmallObject;
    std::array<unsigned char, sizeof buffer> snapshot;
    std::memcpy(snapshot.data(), buffer, sizeof buffer);
    TParams second;
    EXPECT_TRUE(Call(test::CallBlock(second, u"Nothing", 1), small));
    EXPECT_EQ(std::memcmp(snapshot.data(), buffer, sizeof buffer), 0);
    EXPECT_EQ(small->Field, 0x1122334455667788u);
    small->~TSmallObject();

    // The driver object itself as the context: it is not written into either.
    TParams third;
    EXPECT_TRUE(Call(test::CallBlock(third, u"Nothing", 1), &installed.Driver));
    EXPECT_EQ(DriverState().SeenContext, static_cast<rtl::TObject*>(&installed.Driver));
}

TEST(DispatchContexts, GetBaseDllRefusesUnsuitableContexts) {
    test::ScopedTestDriver installed;
    TTask<kInternalTask> empty;
    EXPECT_THROW(TBaseDllObj::GetBaseDll(&empty), rtl::Exception); // nil slot
    EXPECT_THROW(TBaseDllObj::GetBaseDll(nullptr), rtl::Exception);
    TSmallObject stranger;
    TTask<kTaskThread> wrong;
    wrong.SetDriverSlot(static_cast<rtl::TObject*>(&stranger));
    EXPECT_THROW(TBaseDllObj::GetBaseDll(&wrong), rtl::EInvalidCast);
    try {
        TBaseDllObj::GetBaseDll(nullptr);
        FAIL() << "a nil context was accepted";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), Ansi(u"Вызов метода GetBaseDll с очень плохим параметром!"));
    }
}
