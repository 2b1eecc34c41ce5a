// The HTML view on WebKitGTK: the switch holds pages back, and the view's answer before a
// navigation keeps a page from leaving.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "BrowserTest_gtk.h"
#include "RecordingView.h"

namespace {

using harbex_test::RunUntil;

// Keeps its page from going anywhere whose address ends in "/closed.html".
class GuardedView final : public harbex_test::RecordingView {
public:
    GuardedView() {
        refuse = [](const std::string& url) {
            const std::string ending = "/closed.html";
            return url.size() >= ending.size() &&
                   url.compare(url.size() - ending.size(), std::string::npos, ending) == 0;
        };
    }
};

class HtmlViewGtk : public harbex_test::BrowserWindowTest {
protected:
    // What the view's browser shows: the web view the view put in its place.
    std::string ShownUri() {
        GList* children = gtk_container_get_children(GTK_CONTAINER(place));
        std::string uri;
        if (children != nullptr && WEBKIT_IS_WEB_VIEW(children->data)) {
            const gchar* shown = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(children->data));
            uri = shown != nullptr ? shown : "";
        }
        g_list_free(children);
        return uri;
    }
};

TEST_F(HtmlViewGtk, APageThatTriesToLeaveForARefusedAddressStays) {
    const std::string start = WritePage("start.html", R"html(<!DOCTYPE html><script>
setTimeout(function () {
    location.href = 'closed.html';
    setTimeout(function () { location.href = 'open.html'; }, 300);
}, 50);
</script><p>start</p>)html");
    WritePage("closed.html", "<!DOCTYPE html><p>closed</p>");
    WritePage("open.html", "<!DOCTYPE html><p>open</p>");

    GuardedView view;
    ASSERT_NE(view.Create(place), 0);
    ASSERT_TRUE(view.HasWindow());
    view.EnableBrowser(true);
    view.Navigate(start.c_str());

    const std::string base = "file://" + root.string() + "/page%20dir/";
    ASSERT_TRUE(RunUntil([&] { return ShownUri() == base + "open.html"; }))
        << "shown: " << ShownUri();
    const std::vector<std::string> expected{base + "start.html", base + "closed.html",
                                            base + "open.html"};
    EXPECT_EQ(view.AskedUrls(), expected);
}

TEST_F(HtmlViewGtk, NothingLoadsWhileTheSwitchIsOff) {
    const std::string page = WritePage("page.html", "<!DOCTYPE html><p>page</p>");
    GuardedView view;
    ASSERT_NE(view.Create(place), 0);
    view.Navigate(page.c_str());
    RunUntil([] { return false; }, 1);
    EXPECT_TRUE(view.asked.empty());
    EXPECT_EQ(ShownUri(), "");

    view.EnableBrowser(true);
    const std::string address = "file://" + root.string() + "/page%20dir/page.html";
    EXPECT_TRUE(RunUntil([&] { return ShownUri() == address; })) << ShownUri();
}

}  // namespace
