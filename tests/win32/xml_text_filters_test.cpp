// The checks of a text before the parse that the Windows side makes where libxml2 makes them
// itself on Linux (plain passes over the text, reached here because the run-time is linked
// statically), and the hiding of control-character references both sides share.
#include "platform/xml/dom_text_filters.h"

#include <gtest/gtest.h>

namespace quill::xml::detail {
namespace {

TEST(XmlTextFilters, DoctypesAreFoundOutsideCommentsSectionsAndInstructionsOnly) {
    EXPECT_EQ(FindDoctype("<!DOCTYPE a><a/>"), 0u);
    EXPECT_EQ(FindDoctype("<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY e \"x\">]><a/>"), 22u);
    EXPECT_EQ(FindDoctype("<!-- <!DOCTYPE --><?p <!DOCTYPE ?><!DOCTYPE a><a/>"), 34u);
    EXPECT_FALSE(FindDoctype("<a><![CDATA[<!DOCTYPE a>]]><!-- <!DOCTYPE --></a>"));
    EXPECT_FALSE(FindDoctype("<a>&lt;!DOCTYPE a&gt;</a>"));
    EXPECT_FALSE(FindDoctype("<!doctype-like/>"));
}

TEST(XmlTextFilters, DepthCountsOpenElementsOnly) {
    EXPECT_FALSE(FindTooDeepElement("<a><b><c/></b><b><c/></b></a>", 2));
    EXPECT_EQ(FindTooDeepElement("<a><b><c></c></b></a>", 2), 6u);
    // Values, comments, sections and instructions hold no tags.
    EXPECT_FALSE(
        FindTooDeepElement("<a v=\"<b>\" w='/>'><!--<b><b>--><![CDATA[<b>]]><?p <b>?></a>", 1));
    // An empty-element tag opens nothing, also with a "/" inside a value before it.
    EXPECT_FALSE(FindTooDeepElement("<a><b v=\"x/\"/><b/></a>", 1));
    EXPECT_EQ(FindTooDeepElement("<a><b v=\"/\"></b></a>", 1), 3u);
    // A long flat document never counts deeper than its nesting.
    std::string flat = "<r>";
    for (int i = 0; i < 1000; ++i)
        flat += "<i>x</i>";
    EXPECT_FALSE(FindTooDeepElement(flat + "</r>", 2));
}

TEST(XmlTextFilters, HiddenControlsComeBackInEitherEncoding) {
    std::string utf8 = "<a v=\"&#1;\">&#x1F;</a>";
    ASSERT_TRUE(HideControlReferences(utf8));
    EXPECT_TRUE(HoldsHiddenControls(utf8));
    EXPECT_EQ(RestoreHiddenControls(utf8), std::string("<a v=\"\x01\">\x1F</a>"));
    std::u16string text = u"x\uFDD1y\uFDEFz\uFDF0";
    EXPECT_TRUE(RestoreHiddenControls(text));
    EXPECT_EQ(text, std::u16string(u"x\x01y\x1Fz\uFDF0"));
    std::u16string plain = u"plain";
    EXPECT_FALSE(RestoreHiddenControls(plain));
}

TEST(XmlTextFilters, PositionsCountLinesAndBytes) {
    EXPECT_EQ(LineAndColumnOf("abc", 0), std::make_pair(1, 1));
    EXPECT_EQ(LineAndColumnOf("ab\ncd\nef", 7), std::make_pair(3, 2));
}

} // namespace
} // namespace quill::xml::detail
