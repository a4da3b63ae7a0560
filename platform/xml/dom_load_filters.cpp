// The tree filters of a document load over libxml2: control characters back, blank text out.
#include "platform/xml/dom_load_filters.h"

#include "platform/xml/dom_text_filters.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quill::xml::detail {

namespace {

void RestoreIn(xmlNodePtr text) {
    const xmlChar* content = text->content;
    if (!content) return;
    const auto* begin = reinterpret_cast<const char*>(content);
    const std::string_view view(begin, std::strlen(begin));
    if (!HoldsHiddenControls(view)) return;
    const std::string restored = RestoreHiddenControls(view);
    xmlNodeSetContent(text, reinterpret_cast<const xmlChar*>(restored.c_str()));
}

// The node after `node` in document order within `root`'s subtree (attributes not included).
xmlNodePtr NextInTree(xmlNodePtr node, xmlNodePtr root) {
    if (node->children && node->type != XML_ENTITY_REF_NODE) return node->children;
    while (node && node != root) {
        if (node->next) return node->next;
        node = node->parent;
    }
    return nullptr;
}

// The next node in document order that is not inside `node`'s subtree.
xmlNodePtr NextAfterSubtree(xmlNodePtr node, xmlNodePtr root) {
    while (node && node != root) {
        if (node->next) return node->next;
        node = node->parent;
    }
    return nullptr;
}

bool IsBlank(const xmlChar* text) {
    if (!text) return true;
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
    return true;
}

} // namespace

void RestoreControlCharacters(xmlNodePtr root) {
    for (xmlNodePtr node = root; node; node = NextInTree(node, root)) {
        if (node->type == XML_TEXT_NODE) {
            RestoreIn(node);
        } else if (node->type == XML_ELEMENT_NODE) {
            for (xmlAttrPtr attr = node->properties; attr; attr = attr->next)
                for (xmlNodePtr value = attr->children; value; value = value->next)
                    if (value->type == XML_TEXT_NODE) RestoreIn(value);
        }
    }
}

void DropBlankText(xmlNodePtr root) {
    xmlNodePtr node = root;
    while (node) {
        if (node->type == XML_TEXT_NODE && node != root && IsBlank(node->content) &&
            xmlNodeGetSpacePreserve(node->parent) != 1) {
            xmlNodePtr next = NextAfterSubtree(node, root);
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            node = next;
            continue;
        }
        node = NextInTree(node, root);
    }
}

} // namespace quill::xml::detail
