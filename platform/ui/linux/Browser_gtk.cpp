// The browser on Linux: a WebKitWebView in the hosted control's container.
#include <webkit2/webkit2.h>

#include <string>
#include <utility>

#include "platform/Browser.h"
#include "platform/CodePage.h"

namespace platform {

namespace {

// The address WebKit is given for a UTF-8 address of the programs: a local absolute path
// becomes a file:// URI (its characters escaped) that keeps the query after the first '?'.
std::string ToUri(const std::string& url) {
    if (url.empty() || url[0] != '/') {
        return url;
    }
    const std::size_t question = url.find('?');
    const std::string path = url.substr(0, question);
    GError* error = nullptr;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
    if (uri == nullptr) {
        g_clear_error(&error);
        return {};
    }
    std::string result(uri);
    g_free(uri);
    if (question != std::string::npos) {
        result += url.substr(question);
    }
    return result;
}

void OnCallDone(GObject* source, GAsyncResult* result, gpointer /*unused*/) {
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                            result, &error);
    if (value != nullptr) {
        g_object_unref(value);
    }
    g_clear_error(&error);
}

void AddHeader(const char* name, const char* value, gpointer text) {
    *static_cast<std::string*>(text) += std::string(name) + ": " + value + "\r\n";
}

std::string ToAnsi(const char* utf8) {
    return utf8 == nullptr ? std::string() : Utf8ToAnsi(utf8);
}

NavigationRequest DescribeNavigation(WebKitNavigationPolicyDecision* decision) {
    NavigationRequest request;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(decision);
    if (action == nullptr) {
        return request;
    }
    request.targetFrame = ToAnsi(webkit_navigation_action_get_frame_name(action));
    WebKitURIRequest* uriRequest = webkit_navigation_action_get_request(action);
    if (uriRequest == nullptr) {
        return request;
    }
    request.url = ToAnsi(webkit_uri_request_get_uri(uriRequest));
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(uriRequest)) {
        std::string text;
        soup_message_headers_foreach(headers, &AddHeader, &text);
        request.headers = ToAnsi(text.c_str());
    }
    return request;
}

// The function and its argument travel as arguments, never pasted into the script's text.
constexpr char kCallBody[] =
    "var f = window[name]; if (typeof f === 'function') { f.call(window, text); }";

class GtkBrowserView final : public BrowserView {
public:
    explicit GtkBrowserView(WebKitWebView* view) : view_(view) {
        // Our own reference, so the object stays valid however the container ends.
        g_object_ref_sink(view_);
        destroyHandler_ = g_signal_connect(view_, "destroy", G_CALLBACK(&OnDestroy), this);
        endedHandler_ =
            g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&OnProcessEnded), this);
        loadHandler_ = g_signal_connect(view_, "load-changed", G_CALLBACK(&OnLoadChanged), this);
        policyHandler_ =
            g_signal_connect(view_, "decide-policy", G_CALLBACK(&OnDecidePolicy), this);
    }

    ~GtkBrowserView() override {
        // Destroying the widget drops its handlers; ours is only still there if it lives.
        for (gulong handler : {destroyHandler_, endedHandler_, loadHandler_, policyHandler_}) {
            if (g_signal_handler_is_connected(view_, handler)) {
                g_signal_handler_disconnect(view_, handler);
            }
        }
        if (!destroyed_) {
            // Takes it out of the container, which keeps its place empty.
            gtk_widget_destroy(GTK_WIDGET(view_));
        }
        g_object_unref(view_);
    }

    bool Navigate(std::string_view ansiUrl) override {
        if (destroyed_) {
            return false;
        }
        const std::string uri = ToUri(AnsiToUtf8(ansiUrl));
        if (uri.empty()) {
            return false;
        }
        webkit_web_view_load_uri(view_, uri.c_str());
        return true;
    }

    void SetNavigationFilter(NavigationFilter filter) override { filter_ = std::move(filter); }

    void SetSilent(bool /*silent*/) override {}

    bool InstallUIHandler(IDocHostUIHandler* /*handler*/) override { return false; }

    bool CallPageFunction(std::string_view name, std::u16string_view text) override {
        if (!EngineRuns()) {
            return false;
        }
        const std::string utf8Name(name);
        const std::string utf8Text = Utf16ToUtf8(text);
        GVariantDict arguments;
        g_variant_dict_init(&arguments, nullptr);
        g_variant_dict_insert_value(&arguments, "name", g_variant_new_string(utf8Name.c_str()));
        g_variant_dict_insert_value(&arguments, "text", g_variant_new_string(utf8Text.c_str()));
        // Ours until the call returns: WebKit does not take a floating value over.
        GVariant* values = g_variant_ref_sink(g_variant_dict_end(&arguments));
        webkit_web_view_call_async_javascript_function(view_, kCallBody, -1, values, nullptr,
                                                       nullptr, nullptr, &OnCallDone, nullptr);
        g_variant_unref(values);
        return true;
    }

    bool EngineRuns() const override { return !destroyed_ && !processEnded_; }

    void* NativeEngine() const override { return destroyed_ ? nullptr : view_; }

private:
    static void OnDestroy(GtkWidget* /*widget*/, gpointer self) {
        static_cast<GtkBrowserView*>(self)->destroyed_ = true;
    }

    // A crashed or killed page process; the next page that loads has a new one.
    static void OnProcessEnded(WebKitWebView* /*view*/, WebKitWebProcessTerminationReason /*why*/,
                               gpointer self) {
        static_cast<GtkBrowserView*>(self)->processEnded_ = true;
    }
    static void OnLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent event, gpointer self) {
        if (event == WEBKIT_LOAD_COMMITTED) {
            static_cast<GtkBrowserView*>(self)->processEnded_ = false;
        }
    }

    // Navigations, including those that would open a new window, go past the filter; a
    // cancelled one is ignored, the others get WebKit's own answer.
    static gboolean OnDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self) {
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
            type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            return FALSE;
        }
        const NavigationFilter& filter = static_cast<GtkBrowserView*>(self)->filter_;
        if (!filter) {
            return FALSE;
        }
        bool cancel = false;
        try {
            cancel = filter(DescribeNavigation(WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
        } catch (...) {
            cancel = false;
        }
        if (!cancel) {
            return FALSE;
        }
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }

    WebKitWebView* view_;
    NavigationFilter filter_;
    gulong destroyHandler_ = 0;
    gulong endedHandler_ = 0;
    gulong loadHandler_ = 0;
    gulong policyHandler_ = 0;
    bool destroyed_ = false;
    bool processEnded_ = false;
};

}  // namespace

std::unique_ptr<BrowserView> BrowserView::Create(void* nativeParent) {
    if (nativeParent == nullptr || !GTK_IS_CONTAINER(nativeParent)) {
        return nullptr;
    }
    GtkWidget* widget = webkit_web_view_new();
    if (widget == nullptr) {
        return nullptr;
    }
    auto* view = WEBKIT_WEB_VIEW(widget);
    std::unique_ptr<BrowserView> browser;
    try {
        browser = std::make_unique<GtkBrowserView>(view);
    } catch (...) {
        g_object_ref_sink(widget);
        g_object_unref(widget);
        throw;
    }
    gtk_widget_set_hexpand(widget, TRUE);
    gtk_widget_set_vexpand(widget, TRUE);
    gtk_container_add(GTK_CONTAINER(nativeParent), widget);
    gtk_widget_show(widget);
    return browser;
}

}  // namespace platform
