#include "ClientChatWnd.h"

#include <algorithm>
#include <new>

#include "LoginRecord.h"

namespace natter {
namespace {

// The game host's skin colours, so that the chat sits beside it as one piece.
constexpr platform::Argb kBackground = platform::MakeRgb(0x1E, 0x29, 0x40);
constexpr platform::Argb kTitleStrip = platform::MakeRgb(0x38, 0x4B, 0x70);
constexpr platform::Argb kTitleRule = platform::MakeRgb(0xE9, 0xB9, 0x49);
constexpr platform::Argb kOuterEdge = platform::MakeRgb(0x0B, 0x10, 0x1B);
constexpr platform::Argb kNameText = platform::MakeRgb(0xFF, 0xFF, 0xFF);
constexpr platform::Argb kStatusText = platform::MakeRgb(0xE9, 0xB9, 0x49);
constexpr platform::Argb kNoticeText = platform::MakeRgb(0xCD, 0xD6, 0xE8);

constexpr int32_t kTitleHeight = 27;
constexpr int32_t kMargin = 10;
constexpr int32_t kLineHeight = 18;
constexpr int32_t kDefaultHeight = 465;

enum LineId : int32_t { kNameLine = 1, kStatusLine, kNoticeLine1, kNoticeLine2, kEntry };
// The conversation's lines take the ids from here on.
constexpr int32_t kFirstConversationLine = 100;
constexpr int32_t kConversationTop = kTitleHeight + 38 + 2 * kLineHeight + 12;
constexpr int32_t kShownLines = 12;
constexpr int32_t kEntryHeight = 24;
// The oldest lines go once the conversation is this long.
constexpr size_t kKeptLines = 200;
constexpr platform::Argb kConversationText = platform::MakeRgb(0xFF, 0xFF, 0xFF);

// Texts in the ANSI code page (GBK).
constexpr char kTitle[] = "\xC1\xC4\xCC\xEC";                            // 聊天
constexpr char kOffline[] = "\xD7\xB4\xCC\xAC\xA3\xBA\xC0\xEB\xCF\xDF";  // 状态：离线
constexpr char kNotice1[] =  // 当前未连接聊天服务器，
    "\xB5\xB1\xC7\xB0\xCE\xB4\xC1\xAC\xBD\xD3\xC1\xC4\xCC\xEC\xB7\xFE\xCE\xF1\xC6\xF7\xA3\xAC";
constexpr char kNotice2[] =  // 消息只保存在本机。
    "\xCF\xFB\xCF\xA2\xD6\xBB\xB1\xA3\xB4\xE6\xD4\xDA\xB1\xBE\xBB\xFA\xA1\xA3";
constexpr char kSaidBy[] = "\xA3\xBA";  // ：

}  // namespace

std::unique_ptr<CClientChatWnd> CClientChatWnd::Create(platform::Window* host) {
    std::unique_ptr<CClientChatWnd> chat(new (std::nothrow) CClientChatWnd(host));
    if (chat == nullptr || !chat->Build()) {
        return nullptr;
    }
    return chat;
}

CClientChatWnd::CClientChatWnd(platform::Window* host) : m_host(host) {}

CClientChatWnd::~CClientChatWnd() = default;

bool CClientChatWnd::Build() {
    if (!platform::InitWindowing()) {
        return false;
    }
    const platform::Rect docked = DockedBounds();
    platform::WindowOptions options;
    options.title = kTitle;
    options.width = docked.width;
    options.height = docked.height;
    options.taskbar = false;
    options.owner = m_host;
    m_window = platform::Window::Create(*this, options);
    if (m_window == nullptr) {
        return false;
    }
    m_window->SetBounds(docked);

    const int32_t width = docked.width - 2 * kMargin;
    m_pNameLine = m_window->AddTextLine(kNameLine, platform::Rect{kMargin, 5, width, kLineHeight});
    m_pStatusLine = m_window->AddTextLine(
        kStatusLine, platform::Rect{kMargin, kTitleHeight + 10, width, kLineHeight});
    platform::TextLine* notice1 = m_window->AddTextLine(
        kNoticeLine1, platform::Rect{kMargin, kTitleHeight + 38, width, kLineHeight});
    platform::TextLine* notice2 = m_window->AddTextLine(
        kNoticeLine2, platform::Rect{kMargin, kTitleHeight + 38 + kLineHeight, width, kLineHeight});
    if (m_pNameLine == nullptr || m_pStatusLine == nullptr || notice1 == nullptr ||
        notice2 == nullptr) {
        return false;
    }
    m_pNameLine->SetColour(kNameText);
    m_pStatusLine->SetColour(kStatusText);
    m_pStatusLine->SetText(kOffline);
    notice1->SetColour(kNoticeText);
    notice1->SetText(kNotice1);
    notice2->SetColour(kNoticeText);
    notice2->SetText(kNotice2);

    for (int32_t i = 0; i < kShownLines; ++i) {
        platform::TextLine* line = m_window->AddTextLine(
            kFirstConversationLine + i,
            platform::Rect{kMargin, kConversationTop + i * kLineHeight, width, kLineHeight});
        if (line == nullptr) {
            return false;
        }
        line->SetColour(kConversationText);
        m_conversationLines.push_back(line);
    }
    m_pEntry = m_window->AddTextEntry(
        kEntry, platform::Rect{kMargin, kConversationTop + kShownLines * kLineHeight + 8, width,
                               kEntryHeight});
    return m_pEntry != nullptr;
}

const char* CClientChatWnd::GetConversationLine(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_conversation.size()) {
        return "";
    }
    return m_conversation[static_cast<size_t>(index)].c_str();
}

void CClientChatWnd::OnCommand(int32_t id) {
    if (id != kEntry) {
        return;
    }
    const std::string text = m_pEntry->Text();
    if (text.empty()) {
        return;
    }
    m_conversation.push_back(m_chatName + kSaidBy + text);
    if (m_conversation.size() > kKeptLines) {
        m_conversation.pop_front();
    }
    m_pEntry->SetText("");
    ShowConversation();
}

void CClientChatWnd::ShowConversation() {
    const size_t shown = std::min(m_conversation.size(), m_conversationLines.size());
    const size_t first = m_conversation.size() - shown;
    for (size_t i = 0; i < m_conversationLines.size(); ++i) {
        m_conversationLines[i]->SetText(i < shown ? m_conversation[first + i] : std::string());
    }
}

platform::Rect CClientChatWnd::DockedBounds() const {
    if (m_host == nullptr) {
        return platform::Rect{0, 0, kClientChatWidth, kDefaultHeight};
    }
    const platform::Rect host = m_host->Bounds();
    return platform::Rect{host.x + host.width, host.y, kClientChatWidth,
                          host.height > 0 ? host.height : kDefaultHeight};
}

void CClientChatWnd::HideChat() {
    m_window->Hide();
}

bool CClientChatWnd::IsChatVisible() const {
    return m_window->IsVisible();
}

bool CClientChatWnd::ShowChat(const void* record, int length) {
    if (length < 0) {
        return false;
    }
    LoginRecord login;
    if (!ParseLoginRecord(record, static_cast<size_t>(length), login)) {
        return false;
    }
    m_pNameLine->SetText(login.ChatName);
    m_chatName = m_pNameLine->Text();
    if (!m_bPlaced) {
        m_window->SetBounds(DockedBounds());
    }
    m_window->Show();
    m_pEntry->Focus();
    return true;
}

void CClientChatWnd::MoveChat(platform::Rect bounds) {
    m_bPlaced = true;
    m_window->SetBounds(bounds);
}

void CClientChatWnd::OnPaint(platform::Canvas& canvas) {
    const platform::Rect all = m_window->Bounds();
    const int32_t w = all.width;
    const int32_t h = all.height;
    canvas.FillRect(platform::Rect{0, 0, w, h}, kOuterEdge);
    canvas.FillRect(platform::Rect{1, 1, w - 2, h - 2}, kBackground);
    canvas.FillRect(platform::Rect{1, 1, w - 2, kTitleHeight - 1}, kTitleStrip);
    canvas.FillRect(platform::Rect{1, kTitleHeight - 2, w - 2, 2}, kTitleRule);
}

void CClientChatWnd::OnClose() {
    // Closing the chat's window only takes the chat away; the host may open it again.
    HideChat();
}

}  // namespace natter

extern "C" NATTER_API IClientChat* CreateClientChat(platform::Window* host) {
    try {
        return natter::CClientChatWnd::Create(host).release();
    } catch (...) {
        return nullptr;
    }
}
