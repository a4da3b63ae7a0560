// What the DOM over libxml2 shows beyond what the XML component under Wine can: where in the text
// a parse failed, and that libxml2's per-thread error slot is left empty.
#include "platform/xml/dom.h"

#include <gtest/gtest.h>
#include <libxml/xmlerror.h>

namespace quill::xml {
namespace {

XmlDocument Load(std::u16string_view text) {
    XmlDocument doc = CreateDomObject(u"Msxml2.DOMDocument");
    doc->LoadXml(text);
    return doc;
}

TEST(XmlDom, ParseFailureCarriesMessageLineAndColumn) {
    XmlDocument doc = Load(u"<ok/>");
    try {
        doc->LoadXml(u"<a>\n  <b></a>");
        FAIL() << "malformed text loaded";
    } catch (const EXmlParseError& e) {
        EXPECT_EQ(e.Line(), 2);
        EXPECT_GT(e.Column(), 0);
        EXPECT_FALSE(e.Reason().empty());
        EXPECT_NE(e.Message().find("line 2"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find(e.Reason()), std::string::npos);
    }
    // A failed load leaves the previous content in place.
    EXPECT_EQ(doc->DocumentElement()->NodeName(), u"ok");
    EXPECT_THROW(Load(u""), EXmlParseError);
    EXPECT_THROW(Load(u"<a>&undefined;</a>"), EXmlParseError);
    EXPECT_THROW(Load(u"<a/><b/>"), EXmlParseError);
}

// The error a caller gets is the library's own; libxml2's per-thread copy of it, which quotes the
// refused text, must not stay behind in the thread until some later error replaces it.
TEST(XmlDom, RefusedTextsAndExpressionsLeaveNothingInTheThreadsErrorSlot) {
    xmlResetLastError();
    EXPECT_THROW(Load(u"<a><card-4111111111111111></a>"), EXmlParseError);
    EXPECT_EQ(xmlGetLastError(), nullptr);
    EXPECT_THROW(Load(u"<a>x</a>")->SelectNodes(u"//b["), EXmlError);
    EXPECT_EQ(xmlGetLastError(), nullptr);
}

} // namespace
} // namespace quill::xml
