// The HTML view's navigation switch and its question before each navigation, on a stand-in
// browser that shows every address it is sent to unless the view cancels it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RecordingView.h"
#include "harbex/HtmlView.h"
#include "platform/Browser.h"

namespace {

using Addresses = std::vector<std::string>;

class FakeBrowser final : public platform::BrowserView {
public:
    explicit FakeBrowser(Addresses& shown) : shown_(shown) {}

    bool Navigate(std::string_view url) override { return Go({std::string(url)}); }
    // A navigation of the page's own, or one of the view's: asked first, as a browser does.
    bool Go(const platform::NavigationRequest& request) {
        if (!filter_ || !filter_(request)) {
            shown_.push_back(request.url);
        }
        return true;
    }
    void SetNavigationFilter(platform::NavigationFilter filter) override {
        filter_ = std::move(filter);
    }
    void SetSilent(bool) override {}
    bool InstallUIHandler(IDocHostUIHandler*) override { return false; }
    bool CallPageFunction(std::string_view, std::u16string_view) override { return false; }
    bool EngineRuns() const override { return true; }
    void* NativeEngine() const override { return const_cast<FakeBrowser*>(this); }

private:
    Addresses& shown_;
    platform::NavigationFilter filter_;
};

using harbex_test::AskedNavigation;

// A view of a program that keeps its users off one address.
class GuardedView final : public harbex_test::RecordingView {
public:
    GuardedView() {
        refuse = [](const std::string& url) { return url == "http://lobby.example/closed"; };
    }

    FakeBrowser* GiveBrowser() {
        auto browser = std::make_unique<FakeBrowser>(shown);
        FakeBrowser* given = browser.get();
        return Attach(std::move(browser)) != 0 ? given : nullptr;
    }

    Addresses shown;
};

TEST(HtmlBrower, AddressesAreShownOnlyWhileTheSwitchIsOn) {
    GuardedView view;
    ASSERT_NE(view.GiveBrowser(), nullptr);

    view.Navigate("http://lobby.example/a");
    EXPECT_TRUE(view.shown.empty());
    EXPECT_TRUE(view.EnableBrowser(true));
    EXPECT_EQ(view.shown, Addresses{"http://lobby.example/a"});
    EXPECT_TRUE(view.EnableBrowser(true));  // already on: no second visit
    EXPECT_EQ(view.shown.size(), 1u);

    view.Navigate("http://lobby.example/b");  // on: shown at once
    EXPECT_EQ(view.shown.back(), "http://lobby.example/b");

    EXPECT_FALSE(view.EnableBrowser(false));  // the page stays, the address is forgotten
    EXPECT_EQ(view.shown.size(), 2u);
    EXPECT_TRUE(view.EnableBrowser(true));
    EXPECT_EQ(view.shown.size(), 2u);

    // Turning off a switch that is off changes nothing: the address stays remembered.
    GuardedView other;
    ASSERT_NE(other.GiveBrowser(), nullptr);
    other.Navigate("http://lobby.example/x");
    EXPECT_FALSE(other.EnableBrowser(false));
    EXPECT_TRUE(other.EnableBrowser(true));
    EXPECT_EQ(other.shown, Addresses{"http://lobby.example/x"});
}

TEST(HtmlBrower, AnAddressGivenBeforeTheBrowserExistsIsShownOnceItDoes) {
    GuardedView on;
    EXPECT_FALSE(on.HasWindow());
    EXPECT_EQ(on.Create(nullptr), 0);
    EXPECT_TRUE(on.EnableBrowser(true));
    on.Navigate("http://lobby.example/early");
    ASSERT_NE(on.GiveBrowser(), nullptr);
    EXPECT_TRUE(on.HasWindow());
    EXPECT_EQ(on.shown, Addresses{"http://lobby.example/early"});
    EXPECT_EQ(on.GiveBrowser(), nullptr);  // one browser per view
    EXPECT_EQ(on.shown.size(), 1u);

    GuardedView off;
    off.Navigate("http://lobby.example/early");
    ASSERT_NE(off.GiveBrowser(), nullptr);
    EXPECT_TRUE(off.shown.empty());
}

TEST(HtmlView, EveryNavigationIsAskedAndMayBeCancelled) {
    GuardedView view;
    FakeBrowser* browser = view.GiveBrowser();
    ASSERT_NE(browser, nullptr);
    view.EnableBrowser(true);

    view.Navigate("http://lobby.example/closed");
    EXPECT_TRUE(view.shown.empty());
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0], (AskedNavigation{"http://lobby.example/closed", 0, "", {}, ""}));

    // A form the page posts into a frame reaches the question with all it carries.
    const platform::NavigationRequest posted{
        "http://lobby.example/rank", 0x40, "side", {'i', 'd', '=', '7'}, "Referer: x\r\n"};
    browser->Go(posted);
    ASSERT_EQ(view.asked.size(), 2u);
    EXPECT_EQ(view.asked[1], (AskedNavigation{posted.url, posted.flags, posted.targetFrame,
                                              posted.postData, posted.headers}));
    EXPECT_EQ(view.shown, Addresses{"http://lobby.example/rank"});

    // The switch's own class leaves the answer as it finds it.
    CHtmlBrower plain;
    bool cancel = true;
    plain.OnBeforeNavigate2("http://lobby.example/", 0, "", {}, "", &cancel);
    EXPECT_TRUE(cancel);
    cancel = false;
    plain.OnBeforeNavigate2("http://lobby.example/", 0, "", {}, "", &cancel);
    EXPECT_FALSE(cancel);
}

}  // namespace
