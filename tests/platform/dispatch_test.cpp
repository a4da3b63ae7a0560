// The platform's late-binding plumbing: descriptors built last-first, the property-put named
// argument, and the class registry.
#include "platform/com/auto_object.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_invoke.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quill::com;

namespace {

// Records what Invoke received.
class TRecorder : public TAutoObject {
  public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, OLECHAR** names, UINT, LCID,
                                            DISPID* ids) override {
        if (std::u16string(names[0]) != u"Member") return DISP_E_UNKNOWNNAME;
        ids[0] = 17;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        Id = id;
        Flags = flags;
        Values.clear();
        for (UINT i = 0; i < params->cArgs; ++i)
            Values.push_back(params->rgvarg[i].lVal);
        NamedPut = params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
        if (params->cArgs && params->rgvarg[0].vt == (VT_BYREF | VT_I4))
            *params->rgvarg[0].plVal = 99;
        if (flags == DISPATCH_PROPERTYGET && exception) {
            exception->wCode = 5;
            exception->bstrDescription = BStrFromText(u"no");
            return DISP_E_EXCEPTION;
        }
        if (result) {
            result->vt = VT_I4;
            result->lVal = 1;
        }
        return S_OK;
    }
    DISPID Id = 0;
    WORD Flags = 0;
    std::vector<LONG> Values;
    bool NamedPut = false;
};

VARIANT Int(int v) {
    VARIANT x{};
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

class TFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IUnknown::Guid && iid != IClassFactory::Guid) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** object) override {
        ++Created;
        auto made = CreateComObject<TRecorder>();
        return made->QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(bool) override { return S_OK; }
    ULONG Refs = 1;
    int Created = 0;
};

constexpr CLSID kTestClass = MakeGuid("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");

} // namespace

TEST(Dispatch, ArgumentsTravelLastFirstAndPutsCarryTheNamedArgument) {
    auto recorder = CreateComObject<TRecorder>();
    std::vector<VARIANT> args = {Int(1), Int(2), Int(3)};
    OleVariant result;
    EXPECT_EQ(DispatchInvoke(recorder.Get(), u"Member", DISPATCH_METHOD, args.data(), 3, &result,
                             nullptr),
              S_OK);
    EXPECT_EQ(recorder->Id, 17);
    EXPECT_EQ(recorder->Values, (std::vector<LONG>{3, 2, 1}));
    EXPECT_FALSE(recorder->NamedPut);
    EXPECT_EQ(result.lVal, 1);

    EXPECT_EQ(DispatchInvoke(recorder.Get(), u"Member", DISPATCH_PROPERTYPUT, args.data(), 1,
                             nullptr, nullptr),
              S_OK);
    EXPECT_TRUE(recorder->NamedPut);
    EXPECT_EQ(
        DispatchInvoke(recorder.Get(), u"Other", DISPATCH_METHOD, nullptr, 0, nullptr, nullptr),
        DISP_E_UNKNOWNNAME);
}

TEST(Dispatch, ByReferenceArgumentsReachTheCallersStorageAndExceptionsComeBack) {
    auto recorder = CreateComObject<TRecorder>();
    LONG target = 0;
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &target;
    EXPECT_EQ(
        DispatchInvoke(recorder.Get(), u"Member", DISPATCH_METHOD, &byRef, 1, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(target, 99);

    EXCEPINFO info;
    EXPECT_EQ(
        DispatchInvoke(recorder.Get(), u"Member", DISPATCH_PROPERTYGET, nullptr, 0, nullptr, &info),
        DISP_E_EXCEPTION);
    EXPECT_EQ(ExcepInfoCode(info), 5);
    EXPECT_EQ(TextFromBStr(info.bstrDescription), u"no");
    ClearExcepInfo(&info);
    EXPECT_EQ(info.bstrDescription, nullptr);
}

TEST(Dispatch, TheBaseAutomationObjectHasNoMembers) {
    auto object = CreateComObject<TAutoObject>();
    std::u16string name = u"x";
    OLECHAR* names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    void* other = nullptr;
    EXPECT_EQ(object->QueryInterface(IClassFactory::Guid, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST(ClassRegistry, CreatesByClassIdentifierAndProgIdUntilRevoked) {
    TFactory factory;
    const TClassRegistration info{u"TestServer", u"Thing", kTestClass,
                                  TClassInstancing::MultiInstance, TThreadingModel::Free};
    ASSERT_EQ(RegisterClassFactory(info, &factory), S_OK);
    EXPECT_EQ(RegisterClassFactory(info, &factory), CO_E_OBJISREG);
    EXPECT_EQ(factory.Refs, 2u);

    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(u"testserver.thing", &found), S_OK);
    EXPECT_EQ(found, kTestClass);
    EXPECT_EQ(CLSIDFromProgID(u"TestServer.Other", &found), CO_E_CLASSSTRING);

    IDispatch* made = nullptr;
    EXPECT_EQ(
        CoCreateInstance(kTestClass, nullptr, IDispatch::Guid, reinterpret_cast<void**>(&made)),
        S_OK);
    ASSERT_NE(made, nullptr);
    made->Release();
    EXPECT_EQ(factory.Created, 1);
    TRecorder outer;
    EXPECT_EQ(
        CoCreateInstance(kTestClass, &outer, IDispatch::Guid, reinterpret_cast<void**>(&made)),
        CLASS_E_NOAGGREGATION);

    EXPECT_EQ(RevokeClassFactory(kTestClass), S_OK);
    EXPECT_EQ(factory.Refs, 1u);
    EXPECT_EQ(RevokeClassFactory(kTestClass), S_FALSE);
    EXPECT_EQ(
        CoCreateInstance(kTestClass, nullptr, IDispatch::Guid, reinterpret_cast<void**>(&made)),
        REGDB_E_CLASSNOTREG);
}
