// Real pointer and keyboard input sent to the X server by xdotool, and the message box read
// back through GTK.
#include <gtk/gtk.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "UiTestSupport.h"

namespace {

using platform::Rect;
using uitest::Event;

TEST(WindowInputTest, ClicksAndKeysReachTheHandler) {
    ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is needed";
    uitest::RecordingHandler handler;
    handler.paint = [](platform::Canvas& canvas) {
        canvas.FillRect(Rect{0, 0, 300, 200}, platform::MakeRgb(200, 30, 30));
    };
    handler.swallowKeys = true;
    const Rect bounds{100, 100, 300, 200};
    auto window = uitest::MakeWindow(handler, bounds);
    ASSERT_NE(window, nullptr);
    window->AddButton(7, Rect{20, 20, 40, 20});
    window->AddButton(8, Rect{80, 20, 40, 20})->SetEnabled(false);
    window->AddTextLine(9, Rect{20, 100, 100, 20})->SetText("title");
    ASSERT_TRUE(uitest::RunUntil(*window, handler, [&] {
        return uitest::CaptureWindow(*window).PixelAt(5, 5) == platform::MakeRgb(200, 30, 30);
    }));

    auto at = [&](int x, int y) {
        return " mousemove " + std::to_string(bounds.x + x) + " " + std::to_string(bounds.y + y) +
               " sleep 0.2 click 1 sleep 0.2";
    };
    // The enabled button, the disabled one, the surface, the text line (which lets presses
    // through to the surface), then a key.
    const std::string command = "xdotool" + at(40, 30) + at(100, 30) + at(200, 150) + at(50, 110) +
                                " key Return >/dev/null 2>&1";
    int status = -1;
    std::thread input([&] { status = std::system(command.c_str()); });
    const bool done = uitest::RunUntil(*window, handler, [&] {
        return !handler.events.empty() && handler.events.back().kind == Event::Kind::kKey;
    });
    input.join();
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(done);
    const std::vector<Event> expected{
        {Event::Kind::kCommand, 7},
        {Event::Kind::kButtonDown, 200, 150},
        {Event::Kind::kButtonDown, 50, 110},
        {Event::Kind::kKey, static_cast<int64_t>(platform::Key::kEnter)},
    };
    EXPECT_EQ(handler.events, expected);
}

}  // namespace

namespace {

struct FoundDialog {
    int dialogs = 0;
    std::string title;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    bool transient = false;
};

// Reads the message box that is up and presses its OK button.
gboolean AnswerMessageBox(gpointer data) {
    auto* found = static_cast<FoundDialog*>(data);
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        if (!GTK_IS_MESSAGE_DIALOG(item->data) || !gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            continue;
        }
        auto* dialog = GTK_MESSAGE_DIALOG(item->data);
        ++found->dialogs;
        found->title = gtk_window_get_title(GTK_WINDOW(dialog));
        gchar* text = nullptr;
        g_object_get(dialog, "text", &text, "message-type", &found->type, nullptr);
        found->text = text != nullptr ? text : "";
        g_free(text);
        found->transient = gtk_window_get_transient_for(GTK_WINDOW(dialog)) != nullptr;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    }
    g_list_free(windows);
    return found->dialogs > 0 ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

TEST(MessageBoxTest, ShowsTheTextsInUtf8AndReturnsOnOk) {
    uitest::RecordingHandler handler;
    auto owner = uitest::MakeWindow(handler, Rect{10, 10, 100, 60});
    ASSERT_NE(owner, nullptr);
    FoundDialog found;
    const guint source = g_timeout_add(50, AnswerMessageBox, &found);
    // "错误" and "无法连接" in GBK.
    platform::ShowMessageBox(owner.get(), "\xCE\xDE\xB7\xA8\xC1\xAC\xBD\xD3", "\xB4\xED\xCE\xF3",
                             platform::MessageIconKind::kError);
    if (found.dialogs == 0) {
        g_source_remove(source);
    }
    EXPECT_EQ(found.dialogs, 1);
    EXPECT_EQ(found.title, "\xE9\x94\x99\xE8\xAF\xAF");
    EXPECT_EQ(found.text, "\xE6\x97\xA0\xE6\xB3\x95\xE8\xBF\x9E\xE6\x8E\xA5");
    EXPECT_EQ(found.type, GTK_MESSAGE_ERROR);
    EXPECT_TRUE(found.transient);
}

}  // namespace
