#include "harbex/WebBrowser.h"

#include <cstdio>

#include "platform/Browser.h"

namespace harbex {

namespace {

std::string DescribeFailure(std::string_view operation, int32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(code));
    return "CWebBrowser::" + std::string(operation) + " failed (0x" + hex + ")";
}

}  // namespace

DispatchError::DispatchError(std::string_view operation, int32_t code)
    : std::runtime_error(DescribeFailure(operation, code)), m_code(code) {}

// Out of line, so the class's type information lives in the library that throws it.
DispatchError::~DispatchError() = default;

}  // namespace harbex

int CWebBrowser::Create(const char* /*lpszWindowName*/, uint32_t /*dwStyle*/,
                        const platform::Rect& /*rect*/, void* pParentWnd, uint32_t /*nID*/) {
    if (m_view != nullptr) {
        return 0;
    }
    m_view = platform::BrowserView::Create(pParentWnd);
    return m_view != nullptr ? 1 : 0;
}
