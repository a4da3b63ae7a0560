// XML text of a node: compact (no indentation), attributes in double quotes, an empty element as
// <name/>, top-level nodes of a document each followed by CR LF. Carriage returns, line feeds and
// tabs inside attribute values, and carriage returns in text, are written as character references,
// so that a value read back is the value written (a parser would otherwise normalise them). The
// other control characters U+0001..U+001F, which XML 1.0 cannot carry as they are, are written as
// character references too; our own load reads them back (dom_load_filters.h).
#include "platform/xml/dom_impl.h"

namespace quill::xml {
namespace [[gnu::visibility("hidden")]] detail {

namespace {

void AppendText(std::string& out, const xmlChar* text, bool attribute) {
    if (!text) return;
    for (const xmlChar* p = text; *p; ++p) {
        switch (*p) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            if (attribute)
                out += "&quot;";
            else
                out += '"';
            break;
        case '\r':
            out += "&#xD;";
            break;
        case '\n':
            if (attribute)
                out += "&#xA;";
            else
                out += '\n';
            break;
        case '\t':
            if (attribute)
                out += "&#x9;";
            else
                out += '\t';
            break;
        default:
            if (*p < 0x20) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                out += "&#x";
                if (*p >= 0x10) out += kHex[*p >> 4];
                out += kHex[*p & 0xF];
                out += ';';
            } else {
                out += static_cast<char>(*p);
            }
        }
    }
}

void AppendQualifiedName(std::string& out, const xmlNs* ns, const xmlChar* name) {
    if (ns && ns->prefix) {
        out += reinterpret_cast<const char*>(ns->prefix);
        out += ':';
    }
    out += reinterpret_cast<const char*>(name);
}

void SerialiseElement(xmlNodePtr node, std::string& out) {
    out += '<';
    AppendQualifiedName(out, node->ns, node->name);
    for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) {
        out += " xmlns";
        if (ns->prefix) {
            out += ':';
            out += reinterpret_cast<const char*>(ns->prefix);
        }
        out += "=\"";
        AppendText(out, ns->href, true);
        out += '"';
    }
    for (xmlAttrPtr attr = node->properties; attr; attr = attr->next) {
        out += ' ';
        AppendQualifiedName(out, attr->ns, attr->name);
        out += "=\"";
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr));
        AppendText(out, value, true);
        xmlFree(value);
        out += '"';
    }
    if (!node->children) {
        out += "/>";
        return;
    }
    out += '>';
    for (xmlNodePtr child = node->children; child; child = child->next)
        SerialiseNode(child, out);
    out += "</";
    AppendQualifiedName(out, node->ns, node->name);
    out += '>';
}

} // namespace

void SerialiseNode(xmlNodePtr node, std::string& out) {
    switch (node->type) {
    case XML_ELEMENT_NODE:
        SerialiseElement(node, out);
        break;
    case XML_TEXT_NODE:
        AppendText(out, node->content, false);
        break;
    case XML_CDATA_SECTION_NODE:
        out += "<![CDATA[";
        if (node->content) out += reinterpret_cast<const char*>(node->content);
        out += "]]>";
        break;
    case XML_COMMENT_NODE:
        out += "<!--";
        if (node->content) out += reinterpret_cast<const char*>(node->content);
        out += "-->";
        break;
    case XML_PI_NODE:
        out += "<?";
        out += reinterpret_cast<const char*>(node->name);
        if (node->content && *node->content) {
            out += ' ';
            out += reinterpret_cast<const char*>(node->content);
        }
        out += "?>";
        break;
    case XML_ATTRIBUTE_NODE: {
        AppendQualifiedName(out, node->ns, node->name);
        out += "=\"";
        xmlChar* value = xmlNodeGetContent(node);
        AppendText(out, value, true);
        xmlFree(value);
        out += '"';
        break;
    }
    case XML_DOCUMENT_NODE:
        for (xmlNodePtr child = node->children; child; child = child->next) {
            SerialiseNode(child, out);
            out += "\r\n";
        }
        break;
    default:
        break; // no other kind of node is ever in a tree of ours
    }
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
