// The DOM's Windows side: COM on the threads that use it, and texts that the system's XML component
// would take as they are but the DOM refuses or reads otherwise, as on Linux. The system's COM
// calls here only set up and observe a thread's apartment.
#include "platform/xml/dom.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

namespace quill::xml {
namespace {

XmlDocument Load(std::u16string_view text) {
    XmlDocument doc = CreateDomObject(u"Msxml2.DOMDocument");
    doc->LoadXml(text);
    return doc;
}

// A thread that never initialised COM gets it from its first document; a thread the host
// initialised keeps its apartment, and COM is left to the host to end: our extra count is given
// back, so the host's one CoUninitialize ends it.
TEST(XmlComponent, DocumentsWorkOnThreadsWithAndWithoutCom) {
    std::u16string text;
    std::thread bare([&] { text = Load(u"<a v=\"1\"/>")->Xml(); });
    bare.join();
    EXPECT_EQ(text, u"<a v=\"1\"/>\r\n");

    HRESULT again = S_OK, afterEnd = E_FAIL;
    std::thread host([&] {
        if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        text = Load(u"<b/>")->Xml();
        again = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); // still single-threaded
        ::CoUninitialize();
        afterEnd = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); // ended: starts afresh
        if (SUCCEEDED(afterEnd)) ::CoUninitialize();
    });
    host.join();
    EXPECT_EQ(text, u"<b/>\r\n");
    EXPECT_EQ(again, RPC_E_CHANGED_MODE);
    EXPECT_EQ(afterEnd, S_OK);
}

// The component takes a declared encoding at its word; the text is UTF-16 whatever it declares,
// and its positions stay where they were.
TEST(XmlComponent, DeclaredEncodingsDoNotChangeTheText) {
    XmlDocument doc = Load(u"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Модель Имя=\"ё\">"
                           u"Текст</Модель>");
    EXPECT_EQ(doc->DocumentElement()->GetAttribute(u"Имя"), u"ё");
    EXPECT_EQ(doc->Xml(), u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Модель Имя=\"ё\">"
                          u"Текст</Модель>\r\n");
    try {
        Load(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE a><a/>");
        FAIL() << "a document type declaration was accepted";
    } catch (const EXmlParseError& e) {
        EXPECT_EQ(e.Line(), 2);
        EXPECT_EQ(e.Column(), 1);
    }
}

// The component takes any name and would write a document that no parser reads back.
TEST(XmlComponent, NamesAreCheckedBeforeTheComponentSeesThem) {
    XmlDocument doc = Load(u"<a/>");
    EXPECT_THROW(doc->CreateElement(u"1a"), EXmlError);
    EXPECT_THROW(doc->CreateElement(u""), EXmlError);
    EXPECT_THROW(doc->CreateProcessingInstruction(u"a b", u""), EXmlError);
    EXPECT_THROW(doc->DocumentElement()->SetAttribute(u"-x", u"1"), EXmlError);
    EXPECT_NO_THROW(doc->CreateElement(u"Ёлка_1.x-y"));
    EXPECT_NO_THROW(doc->CreateElement(u"\U00010000a"));
    EXPECT_EQ(doc->Xml(), u"<a/>\r\n");
}

// Node objects cannot be compared by address here (the component makes a new one per call); the
// insertion checks still tell a node from its copy, and leave no mark behind.
TEST(XmlComponent, InsertionTellsNodesApartWithoutAddresses) {
    XmlDocument doc = Load(u"<a><b/><b/><!--c--><!--c--></a>");
    XmlNode a = doc->DocumentElement();
    XmlNode first = doc->SelectSingleNode(u"/a/b[1]");
    XmlNode second = doc->SelectSingleNode(u"/a/b[2]");
    a->InsertBefore(second, first);
    EXPECT_EQ(a->Xml(), u"<a><b/><b/><!--c--><!--c--></a>");
    a->InsertBefore(doc->SelectSingleNode(u"/a/comment()[2]"), doc->SelectSingleNode(u"/a/b[1]"));
    EXPECT_EQ(a->Xml(), u"<a><!--c--><b/><b/><!--c--></a>");
    a->InsertBefore(doc->SelectSingleNode(u"/a/comment()[1]"),
                    doc->SelectSingleNode(u"/a/comment()[1]"));
    EXPECT_EQ(a->Xml(), u"<a><!--c--><b/><b/><!--c--></a>");
    EXPECT_THROW(doc->SelectSingleNode(u"/a/b[1]")->AppendChild(a), EXmlError);
    EXPECT_THROW(a->InsertBefore(doc->CreateElement(u"x"), doc->SelectSingleNode(u"/a")),
                 EXmlError);
    EXPECT_EQ(doc->Xml(), u"<a><!--c--><b/><b/><!--c--></a>\r\n");
}

} // namespace
} // namespace quill::xml
