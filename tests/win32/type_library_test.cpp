// The type library resource of Quill.plu, read back through the system's type-library loader: the
// names, identifiers and methods that hosts browsing type information see must be those the library
// states in exchange/valuearray/type_library.h (the IDL that widl compiles is kept by hand beside
// it).
#include "exchange/valuearray/type_library.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string>

namespace {

namespace typelib = quill::exchange::typelib;

struct TReleaser {
    void operator()(IUnknown* p) const { p->Release(); }
};

std::u16string Text(BSTR text) {
    std::u16string result(reinterpret_cast<const char16_t*>(text), text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return result;
}

::GUID SystemGuid(const quill::com::GUID& guid) {
    ::GUID result;
    static_assert(sizeof result == sizeof guid);
    std::memcpy(&result, &guid, sizeof result);
    return result;
}

class TypeLibrary : public testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path(QUILL_PLU_PATH_W);
        ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &FLibrary), S_OK);
    }
    void TearDown() override {
        if (FLibrary) FLibrary->Release();
    }
    // The type named `name`, checked to have `id`; its documentation string in `help`.
    ITypeInfo* Find(std::u16string_view name, const quill::com::GUID& id, std::u16string* help) {
        for (UINT i = 0; i < FLibrary->GetTypeInfoCount(); ++i) {
            BSTR found = nullptr;
            BSTR doc = nullptr;
            FLibrary->GetDocumentation(static_cast<INT>(i), &found, &doc, nullptr, nullptr);
            const std::u16string docText = Text(doc);
            if (Text(found) != name) continue;
            ITypeInfo* info = nullptr;
            EXPECT_EQ(FLibrary->GetTypeInfoOfGuid(SystemGuid(id), &info), S_OK)
                << "wrong identifier";
            if (help) *help = docText;
            return info;
        }
        ADD_FAILURE() << "no type of that name";
        return nullptr;
    }
    ITypeLib* FLibrary = nullptr;
};

TEST_F(TypeLibrary, NamesTheLibraryWithItsIdentifierAndHelpString) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    ASSERT_EQ(FLibrary->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), typelib::Name);
    EXPECT_EQ(Text(help), typelib::HelpString);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(FLibrary->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, SystemGuid(typelib::LibraryId)));
    FLibrary->ReleaseTLibAttr(attributes);
}

TEST_F(TypeLibrary, DeclaresBothDualInterfacesWithTheirTestMethod) {
    for (const typelib::TInterface* described :
         {&typelib::CallerInterface, &typelib::SafeArrayInterface}) {
        SCOPED_TRACE(std::string(described->Name.begin(), described->Name.end()));
        ITypeInfo* info = Find(described->Name, described->Id, nullptr);
        ASSERT_NE(info, nullptr);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(attributes);

        // The identifier names the dispatch side of a dual interface; its table-of-methods side,
        // reached through the reference -1, carries the automation flag and the methods.
        ITypeInfo* interfaceInfo = info;
        HREFTYPE dualPart = 0;
        if (info->GetRefTypeOfImplType(-1, &dualPart) == S_OK)
            info->GetRefTypeInfo(dualPart, &interfaceInfo);
        ASSERT_EQ(interfaceInfo->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        interfaceInfo->ReleaseTypeAttr(attributes);
        MEMBERID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"Test");
        ASSERT_EQ(interfaceInfo->GetIDsOfNames(&name, 1, &id), S_OK);
        EXPECT_EQ(id, described->Method.DispatchId);
        FUNCDESC* function = nullptr;
        UINT index = 0;
        for (; interfaceInfo->GetFuncDesc(index, &function) == S_OK; ++index) {
            if (function->memid == id) break;
            interfaceInfo->ReleaseFuncDesc(function);
            function = nullptr;
        }
        ASSERT_NE(function, nullptr);
        ASSERT_EQ(function->cParams, described->Method.ArgumentCount);
        for (int i = 0; i < function->cParams; ++i)
            EXPECT_EQ(function->lprgelemdescParam[i].tdesc.vt, described->Method.Arguments[i].Type);
        interfaceInfo->ReleaseFuncDesc(function);
        if (interfaceInfo != info) interfaceInfo->Release();
        info->Release();
    }
}

TEST_F(TypeLibrary, DeclaresTheClassesWithTheirDefaultInterfaces) {
    for (const typelib::TClass* described : {&typelib::CallerClass, &typelib::SafeArrayClass}) {
        SCOPED_TRACE(std::string(described->Name.begin(), described->Name.end()));
        std::u16string help;
        ITypeInfo* info = Find(described->Name, described->Id, &help);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(help, described->HelpString);
        HREFTYPE reference = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
        ITypeInfo* defaultInterface = nullptr;
        ASSERT_EQ(info->GetRefTypeInfo(reference, &defaultInterface), S_OK);
        BSTR name = nullptr;
        defaultInterface->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(Text(name), described->DefaultInterface);
        defaultInterface->Release();
        info->Release();
    }
}

} // namespace
