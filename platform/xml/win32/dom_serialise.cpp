// XML text of a node of the component's tree, written by the same rules as on Linux
// (platform/xml/dom_serialise.cpp) rather than by the component: compact, attributes in double
// quotes, an empty element as <name/>, top-level nodes of a document each followed by CR LF, and
// the characters a parser would normalise or refuse written as character references. The
// component's own text indents, and does not write control characters so that they read back.
#include "platform/xml/win32/dom_com.h"

namespace quill::xml::detail {

namespace {

void AppendText(std::u16string& out, std::u16string_view text, bool attribute) {
    for (const char16_t c : text) {
        switch (c) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += attribute ? u"&quot;" : u"\"";
            break;
        case u'\r':
            out += u"&#xD;";
            break;
        case u'\n':
            out += attribute ? u"&#xA;" : u"\n";
            break;
        case u'\t':
            out += attribute ? u"&#x9;" : u"\t";
            break;
        default:
            if (c < 0x20) {
                static constexpr char16_t kHex[] = u"0123456789ABCDEF";
                out += u"&#x";
                if (c >= 0x10) out += kHex[c >> 4];
                out += kHex[c & 0xF];
                out += u';';
            } else {
                out += c;
            }
        }
    }
}

void AppendAttribute(std::u16string& out, IXMLDOMNode* attribute) {
    out += NodeNameOf(attribute);
    out += u"=\"";
    AppendText(out, NodeValueOf(attribute), true);
    out += u'"';
}

void SerialiseElement(IXMLDOMNode* node, std::u16string& out) {
    const std::u16string name = NodeNameOf(node);
    out += u'<';
    out += name;
    ForEachAttribute(node, [&](IXMLDOMNode* attribute) {
        out += u' ';
        AppendAttribute(out, attribute);
    });
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    Check(node->hasChildNodes(&hasChildren), "The XML component gave no children");
    if (!hasChildren) {
        out += u"/>";
        return;
    }
    out += u'>';
    ForEachChild(node, [&](IXMLDOMNode* child) { SerialiseNode(child, out); });
    out += u"</";
    out += name;
    out += u'>';
}

} // namespace

void SerialiseNode(IXMLDOMNode* node, std::u16string& out) {
    switch (NodeTypeOf(node)) {
    case NODE_ELEMENT:
        SerialiseElement(node, out);
        break;
    case NODE_TEXT:
        AppendText(out, NodeValueOf(node), false);
        break;
    case NODE_CDATA_SECTION:
        out += u"<![CDATA[";
        out += NodeValueOf(node);
        out += u"]]>";
        break;
    case NODE_COMMENT:
        out += u"<!--";
        out += NodeValueOf(node);
        out += u"-->";
        break;
    case NODE_PROCESSING_INSTRUCTION: {
        out += u"<?";
        out += NodeNameOf(node);
        const std::u16string data = NodeValueOf(node);
        if (!data.empty()) {
            out += u' ';
            out += data;
        }
        out += u"?>";
        break;
    }
    case NODE_ATTRIBUTE:
        AppendAttribute(out, node);
        break;
    case NODE_DOCUMENT:
        ForEachChild(node, [&](IXMLDOMNode* child) {
            SerialiseNode(child, out);
            out += u"\r\n";
        });
        break;
    default:
        break; // no other kind of node is ever in a tree of ours
    }
}

} // namespace quill::xml::detail
