// The chat window: the player's name at the top, the offline notice, the conversation and a
// field to type into. This chat reaches no server: it says so, and keeps what the player writes
// in the conversation on this machine while the program runs.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "natter/ClientChat.h"
#include "platform/Window.h"

namespace natter {

class CClientChatWnd final : public IClientChat, private platform::WindowHandler {
public:
    // Null when the platform could not make the window.
    static std::unique_ptr<CClientChatWnd> Create(platform::Window* host);
    ~CClientChatWnd() override;

    void HideChat() override;
    bool IsChatVisible() const override;
    bool ShowChat(const void* record, int length) override;
    void MoveChat(platform::Rect bounds) override;
    platform::Window* GetChatWindow() const override { return m_window.get(); }
    const char* GetChatName() const override { return m_chatName.c_str(); }
    int GetConversationSize() const override { return static_cast<int>(m_conversation.size()); }
    const char* GetConversationLine(int index) const override;

private:
    explicit CClientChatWnd(platform::Window* host);
    bool Build();
    // Next to the host's right edge, as high as the host.
    platform::Rect DockedBounds() const;

    void OnPaint(platform::Canvas& canvas) override;
    void OnClose() override;
    void OnCommand(int32_t id) override;
    // Shows the newest lines of the conversation.
    void ShowConversation();

    platform::Window* m_host;
    std::unique_ptr<platform::Window> m_window;
    platform::TextLine* m_pNameLine = nullptr;  // the text lines belong to m_window
    platform::TextLine* m_pStatusLine = nullptr;
    platform::TextEntry* m_pEntry = nullptr;
    std::vector<platform::TextLine*> m_conversationLines;
    bool m_bPlaced = false;  // MoveChat was called
    std::string m_chatName;
    std::deque<std::string> m_conversation;
};

}  // namespace natter
