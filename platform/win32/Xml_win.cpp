// XML through the system's XML services: "Msxml2.XMLHTTP.3.0" fetches, "Msxml2.DOMDocument.3.0"
// parses. The response is parsed from its raw bytes, so the document's own declaration decides
// its encoding whatever the server's content type says.
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>
// msxml2.h needs the COM declarations above it.
#include <msxml2.h>

#include <cstring>
#include <utility>

#include "ComPtr_win.h"
#include "platform/CodePage.h"
#include "platform/Xml.h"

namespace platform {

namespace {

// The interface id of the request object, as the system's XML services define it.
constexpr IID kIidXmlHttpRequest = {
    0xED8C108D, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};

// Deeper documents are refused rather than walked, so the walk's recursion stays bounded.
constexpr int kMaxDepth = 256;

// Not in the import libraries of every SDK, so written out here.
constexpr IID kDomDocument2Id = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::u16string& text)
        : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* Out() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::string Ansi() const {
        return b_ == nullptr ? std::string()
                             : Utf16ToAnsi(std::u16string_view(
                                   reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)));
    }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT& get() { return v_; }
    VARIANT* Out() {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

std::string HresultText(const char* what, HRESULT hr) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = what;
    char code[16];
    wsprintfA(code, " (0x%08lX)", static_cast<unsigned long>(hr));
    result += code;
    if (length != 0 && text != nullptr) {
        std::string message(text, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
            message.pop_back();
        }
        result += ": " + message;
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    return result;
}

template <typename T>
HRESULT Create(const wchar_t* progId, const IID& iid, ComPtr<T>& object) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.OutVoid());
}

bool Convert(IXMLDOMNode* node, XmlElement& element, int depth) {
    if (depth > kMaxDepth) {
        return false;
    }
    Bstr name;
    if (FAILED(node->get_nodeName(name.Out()))) {
        return false;
    }
    element.name = name.Ansi();

    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (SUCCEEDED(node->get_attributes(attributes.Out())) && attributes.get() != nullptr) {
        long count = 0;
        if (FAILED(attributes->get_length(&count))) {
            return false;
        }
        for (long i = 0; i < count; ++i) {
            ComPtr<IXMLDOMNode> attribute;
            Bstr key;
            Bstr value;
            if (FAILED(attributes->get_item(i, attribute.Out())) || attribute.get() == nullptr ||
                FAILED(attribute->get_nodeName(key.Out())) ||
                FAILED(attribute->get_text(value.Out()))) {
                return false;
            }
            element.attributes.emplace_back(key.Ansi(), value.Ansi());
        }
    }

    ComPtr<IXMLDOMNodeList> children;
    if (FAILED(node->get_childNodes(children.Out())) || children.get() == nullptr) {
        return false;
    }
    long count = 0;
    if (FAILED(children->get_length(&count))) {
        return false;
    }
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> child;
        DOMNodeType type = NODE_INVALID;
        if (FAILED(children->get_item(i, child.Out())) || child.get() == nullptr ||
            FAILED(child->get_nodeType(&type))) {
            return false;
        }
        if (type == NODE_ELEMENT) {
            element.children.emplace_back();
            if (!Convert(child.get(), element.children.back(), depth + 1)) {
                return false;
            }
        }
    }
    return true;
}

// Loads a document from a byte array variant; false when it is not well-formed.
bool LoadDocument(VARIANT& bytes, XmlElement& root) {
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(Create(L"Msxml2.DOMDocument.3.0", IID_IXMLDOMDocument, document)) ||
        FAILED(document->put_async(VARIANT_FALSE)) ||
        FAILED(document->put_validateOnParse(VARIANT_FALSE)) ||
        FAILED(document->put_resolveExternals(VARIANT_FALSE))) {
        return false;
    }
    // No document of ours has a type definition; one that declares entities can make a small
    // file expand into gigabytes of text. The parser refuses one where it can; the check after
    // the load covers a parser that cannot.
    ComPtr<IXMLDOMDocument2> withProperties;
    if (SUCCEEDED(document->QueryInterface(kDomDocument2Id, withProperties.OutVoid())) &&
        withProperties.get() != nullptr) {
        Bstr name(u"ProhibitDTD");
        VARIANT prohibit;
        VariantInit(&prohibit);
        V_VT(&prohibit) = VT_BOOL;
        V_BOOL(&prohibit) = VARIANT_TRUE;
        withProperties->setProperty(name.get(), prohibit);
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (document->load(bytes, &loaded) != S_OK || loaded != VARIANT_TRUE) {
        return false;
    }
    ComPtr<IXMLDOMDocumentType> type;
    if (FAILED(document->get_doctype(type.Out())) || type.get() != nullptr) {
        return false;
    }
    ComPtr<IXMLDOMElement> top;
    if (FAILED(document->get_documentElement(top.Out())) || top.get() == nullptr) {
        return false;
    }
    XmlElement result;
    if (!Convert(top.get(), result, 1)) {
        return false;
    }
    root = std::move(result);
    return true;
}

}  // namespace

ComScope::ComScope() {
    initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComScope::~ComScope() {
    if (initialised_) {
        CoUninitialize();
    }
}

bool ParseXml(std::string_view bytes, XmlElement& root) {
    root = XmlElement();
    if (bytes.size() > 0x7FFFFFFF) {
        return false;
    }
    Variant array;
    SAFEARRAY* data = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (data == nullptr) {
        return false;
    }
    array.get().vt = VT_ARRAY | VT_UI1;
    array.get().parray = data;  // freed with the variant
    void* target = nullptr;
    if (FAILED(SafeArrayAccessData(data, &target))) {
        return false;
    }
    if (!bytes.empty()) {
        std::memcpy(target, bytes.data(), bytes.size());
    }
    SafeArrayUnaccessData(data);
    return LoadDocument(array.get(), root);
}

XmlDocument FetchXml(const std::string& url) {
    XmlDocument document;
    ComPtr<IXMLHTTPRequest> request;
    HRESULT hr = Create(L"Msxml2.XMLHTTP.3.0", kIidXmlHttpRequest, request);
    if (FAILED(hr)) {
        document.error = HresultText("cannot create the XML request", hr);
        return document;
    }
    Bstr method(u"GET");
    Bstr address(AnsiToUtf16(url));
    Variant async;
    async.get().vt = VT_BOOL;
    async.get().boolVal = VARIANT_FALSE;
    Variant user;
    Variant password;
    Variant body;
    hr = request->open(method.get(), address.get(), async.get(), user.get(), password.get());
    if (SUCCEEDED(hr)) {
        hr = request->send(body.get());
    }
    if (FAILED(hr)) {
        document.error = HresultText("the XML request failed", hr);
        return document;
    }
    long status = 0;
    hr = request->get_status(&status);
    if (FAILED(hr)) {
        document.error = HresultText("the XML request has no status", hr);
        return document;
    }
    document.status = static_cast<int>(status);
    if (document.status != 200) {
        return document;
    }
    Variant response;
    hr = request->get_responseBody(response.Out());
    if (FAILED(hr) || response.get().vt != (VT_ARRAY | VT_UI1)) {
        document.parseFailed = true;
        return document;
    }
    document.parseFailed = !LoadDocument(response.get(), document.root);
    return document;
}

}  // namespace platform
