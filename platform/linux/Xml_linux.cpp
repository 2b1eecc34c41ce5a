// XML through libxml2: the parser honours the document's declared encoding (through iconv, so
// GBK and GB2312 too) and hands out UTF-8, which is converted to the ANSI code page here.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

#include "platform/CodePage.h"
#include "platform/Http.h"
#include "platform/Xml.h"

namespace platform {

namespace {

struct ContextDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlCharDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string Ansi(const xmlChar* utf8) {
    return utf8 == nullptr ? std::string() : Utf8ToAnsi(reinterpret_cast<const char*>(utf8));
}

// libxml2 limits the nesting depth of what it accepts, which bounds this recursion.
void Convert(xmlDoc* doc, const xmlNode* node, XmlElement& element) {
    element.name = Ansi(node->name);
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        std::unique_ptr<xmlChar, XmlCharDeleter> value(
            xmlNodeListGetString(doc, attribute->children, 1));
        element.attributes.emplace_back(Ansi(attribute->name), Ansi(value.get()));
    }
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            element.children.emplace_back();
            Convert(doc, child, element.children.back());
        }
    }
}

}  // namespace

ComScope::ComScope() = default;
ComScope::~ComScope() = default;

bool ParseXml(std::string_view bytes, XmlElement& root) {
    root = XmlElement();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context) {
        return false;
    }
    // No network, no entity expansion into the tree, and no messages on stderr.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, DocDeleter> doc(xmlCtxtReadMemory(context.get(), bytes.data(),
                                                              static_cast<int>(bytes.size()),
                                                              "document.xml", nullptr, options));
    if (!doc || !context->wellFormed) {
        return false;
    }
    // No document of ours has a type definition; one that declares entities can make a small
    // file expand into gigabytes of text.
    if (doc->intSubset != nullptr || doc->extSubset != nullptr) {
        return false;
    }
    const xmlNode* top = xmlDocGetRootElement(doc.get());
    if (top == nullptr) {
        return false;
    }
    Convert(doc.get(), top, root);
    return true;
}

XmlDocument FetchXml(const std::string& url) {
    XmlDocument document;
    HttpClient client;
    std::string body;
    const HttpResult result = FetchText(client, url, body);
    if (result.outcome == HttpOutcome::kHttpStatus) {
        document.status = result.status;
        return document;
    }
    if (!result.ok()) {
        document.error = result.error.empty() ? HttpOutcomeName(result.outcome) : result.error;
        return document;
    }
    document.status = result.status;
    if (document.status == 200) {
        document.parseFailed = !ParseXml(body, document.root);
    }
    return document;
}

}  // namespace platform
