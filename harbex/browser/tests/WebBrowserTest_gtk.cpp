// CWebBrowser in a window's hosted place on WebKitGTK: a page loaded from a local path with a
// query talks to the host through window.external and hears back through MessageProxy.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "BrowserTest_gtk.h"
#include "harbex/WebBrowser.h"

namespace {

namespace fs = std::filesystem;

struct Delivered {
    uint32_t command;
    std::string text;
    bool operator==(const Delivered&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Delivered& call) {
        return out << '{' << call.command << ", \"" << call.text << "\"}";
    }
};
using Calls = std::vector<Delivered>;

constexpr char kGbkChinese[] = "\xD6\xD0\xCE\xC4";  // "中文"

using harbex_test::RunUntil;

void OnEvaluated(GObject* source, GAsyncResult* result, gpointer out) {
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    auto* text = static_cast<std::string*>(out);
    if (value != nullptr) {
        gchar* json = jsc_value_to_json(value, 0);
        *text = json != nullptr ? json : "undefined";
        g_free(json);
        g_object_unref(value);
    } else {
        *text = std::string("error: ") + (error != nullptr ? error->message : "?");
        g_clear_error(&error);
    }
}

// Runs a script in the page and gives its value as JSON.
std::string Evaluate(WebKitWebView* view, const char* script) {
    std::string result;
    webkit_web_view_evaluate_javascript(view, script, -1, nullptr, nullptr, nullptr, &OnEvaluated,
                                        &result);
    return RunUntil([&] { return !result.empty(); }) ? result : "timed out";
}

// The game host's shape: its handler hands out its own external object. It outlives the browser,
// as the handler must.
class Host final : public DocHostUI, public IJsMessage {
public:
    JsExternal* GetExternal() override { return &m_external; }
    void OnJsMessage(uint32_t command, char* text) override {
        calls.push_back({command, text});
        if (onMessage) {
            onMessage(command);
        }
    }

    JsExternal m_external{*this};
    Calls calls;
    std::function<void(uint32_t)> onMessage;
};

class WebBrowserTest : public harbex_test::BrowserWindowTest {
protected:
    // Creates the browser in the place, as the game host does.
    void Open(CWebBrowser& browser) {
        ASSERT_NE(browser.Create("", 0x50000000, {5, 27, 360, 240}, place, 1011), 0);
        browser.Navigate("about:blank");
        browser.put_Silent(1);
    }
};

TEST_F(WebBrowserTest, PageFromLocalPathTalksWithHost) {
    const std::string page = WritePage("game.html", R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>测试页</title><script>
function MessageProxy(text) {
    if (text === '7,0') {
        window.external.Answer('5,' + text + '|' + location.search);
    } else {
        window.external.Echo('6,' + text);
    }
}
window.external.anything('8,');
</script></head><body>game</body></html>)html");

    Host host;
    CWebBrowser browser;
    Open(browser);
    host.onMessage = [&](uint32_t command) {
        if (command == 8) {
            browser.CallPage(7, "0");
        } else if (command == 5) {
            browser.CallPage(1, std::string(kGbkChinese) + "&x");
        }
    };
    ASSERT_NE(browser.InstallUIHandler(host), 0);
    browser.Navigate(page + "?id=7&mode=test");

    ASSERT_TRUE(RunUntil([&] { return host.calls.size() >= 3; }))
        << testing::PrintToString(host.calls);
    EXPECT_EQ(
        host.calls,
        (Calls{{8, ""}, {5, "7,0|?id=7&mode=test"}, {6, "1," + std::string(kGbkChinese) + "&x"}}));

    EXPECT_EQ(browser.get_LocationURL(),
              "file://" + root.string() + "/page%20dir/game.html?id=7&mode=test");
    ASSERT_TRUE(RunUntil([&] { return browser.get_Busy() == 0; }));
    EXPECT_EQ(browser.get_LocationName(), "\xB2\xE2\xCA\xD4\xD2\xB3");  // the title in GBK
}

TEST_F(WebBrowserTest, NoticesToAPageWithoutMessageProxyAreLost) {
    const std::string page = WritePage("plain.html",
                                       "<!DOCTYPE html><script>window.external.ready('1,');"
                                       "</script><p>no MessageProxy here</p>");
    Host host;
    CWebBrowser browser;
    Open(browser);
    host.onMessage = [&](uint32_t command) {
        if (command != 1) {
            return;
        }
        browser.CallPage(3, "0");
        // Only from now on does the page listen.
        webkit_web_view_evaluate_javascript(
            browser.GetWebView(),
            "window.MessageProxy = function (t) { window.external.got('2,' + t); }; 0", -1, nullptr,
            nullptr, nullptr, nullptr, nullptr);
        browser.CallPage(4, "600");
    };
    ASSERT_NE(browser.InstallUIHandler(host), 0);
    browser.Navigate(page);

    ASSERT_TRUE(RunUntil([&] { return host.calls.size() >= 2; }));
    EXPECT_EQ(host.calls, (Calls{{1, ""}, {2, "4,600"}}));
}

TEST_F(WebBrowserTest, WithoutHandlerNoticesStillReachThePage) {
    const std::string page = WritePage("listen.html",
                                       "<!DOCTYPE html><meta charset='utf-8'><script>var got = [];"
                                       "function MessageProxy(t) { got.push(t); }</script>");
    CWebBrowser browser;
    Open(browser);
    browser.Navigate(page);
    ASSERT_TRUE(RunUntil([&] {
        return browser.get_Busy() == 0 && browser.get_LocationURL().rfind("file://", 0) == 0;
    }));
    EXPECT_TRUE(browser.CallPage(1, kGbkChinese));
    EXPECT_TRUE(browser.CallPage(-3, ""));
    EXPECT_EQ(Evaluate(browser.GetWebView(), "got"), "[\"1,中文\",\"-3,\"]");

    // Once the page's process has ended the page cannot be asked; a page loaded again can.
    webkit_web_view_terminate_web_process(browser.GetWebView());
    ASSERT_TRUE(RunUntil([&] { return !browser.CallPage(2, ""); }));
    browser.Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return browser.CallPage(2, ""); }));

    // A handler without an external object wires nothing.
    DocHostUI silent;
    EXPECT_EQ(browser.InstallUIHandler(silent), 0);
}

// The heap the program holds, in bytes (0 where the allocator does not report it, as under
// the address sanitizer).
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A page that polls the host keeps hearing from it for hours: a notice must leave nothing behind,
// with the bridge or without it.
TEST_F(WebBrowserTest, NoticesLeaveNothingBehind) {
    const std::string page = WritePage("count.html",
                                       "<!DOCTYPE html><script>var heard = 0;"
                                       "function MessageProxy(t) { ++heard; }</script>");
    constexpr int kNotices = 10000;
    for (bool bridged : {false, true}) {
        Host host;
        CWebBrowser browser;
        Open(browser);
        if (bridged) {
            ASSERT_NE(browser.InstallUIHandler(host), 0);
        }
        browser.Navigate(page);
        ASSERT_TRUE(RunUntil([&] {
            return browser.get_Busy() == 0 && browser.get_LocationURL().rfind("file://", 0) == 0;
        }));
        int sent = 0;
        auto sendAndWait = [&](int count) {
            for (int i = 0; i < count; ++i) {
                browser.CallPage(7, "0");
            }
            sent += count;
            const std::string expected = std::to_string(sent);
            const bool heard =
                RunUntil([&] { return Evaluate(browser.GetWebView(), "heard") == expected; }, 60);
            RunUntil([] { return false; }, 1);  // the calls' answers come back after the page ran
            return heard;
        };
        ASSERT_TRUE(sendAndWait(kNotices));  // the engine's own first allocations settle
        const std::size_t before = HeapInUse();
        ASSERT_TRUE(sendAndWait(kNotices));
        const std::size_t after = HeapInUse();
        // Each notice left about 200 bytes when its arguments were never released.
        EXPECT_LT(after, before + kNotices * 50) << (bridged ? "bridged" : "without a bridge");
    }
}

TEST_F(WebBrowserTest, WithoutControlNothingHappens) {
    Host host;
    CWebBrowser browser;
    EXPECT_EQ(browser.Create("", 0x50000000, {}, nullptr, 1), 0);
    EXPECT_EQ(browser.GetWebView(), nullptr);
    browser.Navigate("about:blank");
    EXPECT_FALSE(browser.CallPage(7, "0"));
    browser.GoBack();
    EXPECT_EQ(browser.get_LocationURL(), "");
    EXPECT_EQ(browser.get_Busy(), 0);

    // One control per wrapper.
    ASSERT_NE(browser.Create("", 0x50000000, {}, place, 1), 0);
    EXPECT_EQ(browser.Create("", 0x50000000, {}, place, 1), 0);

    // The place may go before the wrapper: the wrapper then has no control.
    ASSERT_NE(browser.InstallUIHandler(host), 0);
    gtk_widget_destroy(place);
    EXPECT_EQ(browser.GetWebView(), nullptr);
    browser.Navigate("about:blank");
    EXPECT_FALSE(browser.CallPage(7, "0"));
    EXPECT_EQ(browser.InstallUIHandler(host), 0);
}

}  // namespace
