// The bridge in a real WebKit view: a test page calls window.external and records what its
// MessageProxy receives; the host side records the calls and answers a parameter query.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "browser/WebBridge_gtk.h"
#include "harbex/JsExternal.h"

namespace {

struct Delivered {
    uint32_t command;
    std::string text;
    bool operator==(const Delivered&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Delivered& call) {
        return out << '{' << call.command << ", \"" << call.text << "\"}";
    }
};
using Calls = std::vector<Delivered>;

// The page: each call below is a case; the refused ones must never reach the host. The
// answer to command 8 arrives in MessageProxy, which then reports the end with command 99.
constexpr char kPage[] = R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><script>
var received = [];
var shapes = [typeof window.external, typeof window.external.AnyNameAtAll];
function MessageProxy(text) {
    received.push(text);
    if (text === '7,0') {
        window.external.done('99,end');
    }
}
window.external.Anything('8,');
window.external.x('7,game&hello');
window.external.y(['7,array']);
window.external.z('7,two', '7,args');
window.external.w();
window.external.n(7);
window.external.s(new String('7,boxed'));
window.external.gbk('7,game&\u4e2d\u6587');
window.external.prop = '2,';
window.external.lonely(',x');
</script></head><body>test page</body></html>)html";

// A notice text that would break any script built by pasting it in.
constexpr char kTrickyNotice[] = "a'b\"c\\d\n</script>\xC4\xE3";  // ends in GBK "你"

class PageHost final : public IJsMessage {
public:
    harbex::WebBridge* bridge = nullptr;
    GMainLoop* loop = nullptr;
    Calls calls;

    void OnJsMessage(uint32_t command, char* text) override {
        calls.push_back({command, text});
        if (command == 8) {
            bridge->CallPage(1, kTrickyNotice);
            bridge->CallPage(7, "0");
        } else if (command == 99) {
            g_main_loop_quit(loop);
        }
    }
};

gboolean QuitOnTimeout(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

struct Evaluation {
    GMainLoop* loop;
    std::string json;
    bool done = false;
};

void OnEvaluated(GObject* source, GAsyncResult* result, gpointer data) {
    auto* evaluation = static_cast<Evaluation*>(data);
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    if (value != nullptr) {
        gchar* text = jsc_value_to_string(value);
        evaluation->json = text;
        g_free(text);
        g_object_unref(value);
    } else {
        evaluation->json = std::string("error: ") + (error ? error->message : "?");
        g_clear_error(&error);
    }
    evaluation->done = true;
    g_main_loop_quit(evaluation->loop);
}

void QuitOnLoadFinished(WebKitWebView*, WebKitLoadEvent event, gpointer loop) {
    if (event == WEBKIT_LOAD_FINISHED) {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
    }
}

// Loads a page and runs the main loop until it has loaded (or 10 s have passed).
void LoadAndWait(WebKitWebView* view, GMainLoop* loop, const char* html) {
    const gulong handler =
        g_signal_connect(view, "load-changed", G_CALLBACK(&QuitOnLoadFinished), loop);
    webkit_web_view_load_html(view, html, "file:///harbex-bridge-test/");
    const guint timeout = g_timeout_add_seconds(10, &QuitOnTimeout, loop);
    g_main_loop_run(loop);
    g_source_remove(timeout);
    g_signal_handler_disconnect(view, handler);
}

// Runs a script in the page and gives its value as JSON.
std::string EvaluateJson(WebKitWebView* view, GMainLoop* loop, const char* expression) {
    Evaluation evaluation{loop, {}};
    const std::string script = std::string("JSON.stringify(") + expression + ")";
    webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr,
                                        &OnEvaluated, &evaluation);
    const guint timeout = g_timeout_add_seconds(10, &QuitOnTimeout, loop);
    g_main_loop_run(loop);
    if (evaluation.done) {
        g_source_remove(timeout);
    }
    return evaluation.done ? evaluation.json : "timed out";
}

class WebBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            FAIL() << "DISPLAY is not set: the WebKit bridge test needs an X display";
        }
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "GTK cannot open the display";

        loop = g_main_loop_new(nullptr, FALSE);
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 320, 240);
        view = WEBKIT_WEB_VIEW(webkit_web_view_new());
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
        gtk_widget_show_all(window);
    }

    void TearDown() override {
        if (window != nullptr) {
            gtk_widget_destroy(window);
        }
        if (loop != nullptr) {
            g_main_loop_unref(loop);
        }
    }

    GMainLoop* loop = nullptr;
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
};

TEST_F(WebBridgeTest, PageAndHostTalkInBothDirections) {
    PageHost host;
    JsExternal external(host);
    {
        harbex::WebBridge bridge(view, external);
        ASSERT_TRUE(bridge.IsInstalled());
        host.bridge = &bridge;
        host.loop = loop;

        // A second bridge on the same view stays inert instead of doubling every call.
        harbex::WebBridge second(view, external);
        EXPECT_FALSE(second.IsInstalled());

        // Before any document: lost without harm.
        bridge.CallPage(3, "0");

        webkit_web_view_load_html(view, kPage, "file:///harbex-bridge-test/");
        const guint timeout = g_timeout_add_seconds(10, &QuitOnTimeout, loop);
        g_main_loop_run(loop);
        ASSERT_FALSE(host.calls.empty() || host.calls.back().command != 99)
            << "the page did not finish within 10 s";
        g_source_remove(timeout);

        EXPECT_EQ(
            host.calls,
            (Calls{
                {8, ""}, {7, "game&hello"}, {7, "game&\xD6\xD0\xCE\xC4"}, {2, ""}, {99, "end"}}));
        EXPECT_EQ(EvaluateJson(view, loop, "received"),
                  "[\"1,a'b\\\"c\\\\d\\n</script>\xE4\xBD\xA0\",\"7,0\"]");
        EXPECT_EQ(EvaluateJson(view, loop, "shapes"), "[\"object\",\"function\"]");
        host.bridge = nullptr;
    }

    // Without the bridge the next page has neither the object nor the channel.
    LoadAndWait(view, loop, "<p>plain page</p>");
    EXPECT_EQ(EvaluateJson(view, loop,
                           "[typeof (window.external && window.external.x), "
                           "typeof (window.webkit && window.webkit.messageHandlers.external)]"),
              "[\"undefined\",\"undefined\"]");
    EXPECT_EQ(host.calls.size(), 5u);
}

}  // namespace
