#include "WebBridge_gtk.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/CodePage.h"

namespace harbex {

namespace {

// The name of the channel under window.webkit.messageHandlers.
constexpr char kChannel[] = "external";

// Takes the handler at document start, before the page's own script could replace
// window.webkit. Only strings travel with their value: the bridge needs no other, and a value
// such as a function or a node could not be posted at all.
constexpr char kExternalScript[] = R"js((function () {
    'use strict';
    var handlers = window.webkit && window.webkit.messageHandlers;
    var channel = handlers && handlers.external;
    if (!channel) {
        return;
    }
    var post = channel.postMessage.bind(channel);
    function send(values) {
        var args = [];
        for (var i = 0; i < values.length && i < 2; ++i) {
            var value = values[i];
            args.push(typeof value === 'string' ? {type: 'string', value: value}
                                                : {type: typeof value});
        }
        post({count: values.length, args: args});
    }
    function member() {
        send(arguments);
    }
    var external = new Proxy({}, {
        get: function (target, name) {
            return typeof name === 'string' ? member : undefined;
        },
        set: function (target, name, value) {
            send([value]);
            return true;
        },
        has: function (target, name) {
            return typeof name === 'string';
        },
    });
    Object.defineProperty(window, 'external', {
        configurable: false,
        enumerable: true,
        get: function () {
            return external;
        },
        set: function () {},
    });
})();)js";

// The notice is passed as an argument, never pasted into the script's text.
constexpr char kCallPageBody[] =
    "if (typeof MessageProxy === 'function') { MessageProxy(notice); }";

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using JsValue = std::unique_ptr<JSCValue, ObjectUnref>;

struct CharFree {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, CharFree>;

JsValue Property(JSCValue* object, const char* name) {
    return JsValue(jsc_value_object_get_property(object, name));
}

// The first posted argument: a string with its text, or anything else.
JsArgument ReadArgument(JSCValue* args, std::u16string& text) {
    const JsValue item(jsc_value_object_get_property_at_index(args, 0));
    if (!item || !jsc_value_is_object(item.get())) {
        return {};
    }
    const JsValue type = Property(item.get(), "type");
    const JsValue value = Property(item.get(), "value");
    if (!type || !value || !jsc_value_is_string(value.get())) {
        return {};
    }
    const GText typeName(jsc_value_to_string(type.get()));
    if (!typeName || std::string_view(typeName.get()) != "string") {
        return {};
    }
    const GText utf8(jsc_value_to_string(value.get()));
    text = platform::Utf8ToUtf16(utf8 ? utf8.get() : "");
    return {true, text};
}

void OnCallPageDone(GObject* source, GAsyncResult* result, gpointer /*unused*/) {
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                            result, &error);
    if (value != nullptr) {
        g_object_unref(value);
    }
    if (error != nullptr) {
        g_error_free(error);
    }
}

}  // namespace

WebBridge::WebBridge(WebKitWebView* view, JsExternal& external)
    : m_view(view),
      m_manager(webkit_web_view_get_user_content_manager(view)),
      m_external(external) {
    g_object_ref(m_manager);
    // Connected before the channel is registered, so no message can arrive unseen.
    const gulong handler = g_signal_connect(m_manager, "script-message-received::external",
                                            G_CALLBACK(&WebBridge::OnScriptMessage), this);
    if (!webkit_user_content_manager_register_script_message_handler(m_manager, kChannel)) {
        g_signal_handler_disconnect(m_manager, handler);
        return;
    }
    m_handlerId = handler;
    m_script =
        webkit_user_script_new(kExternalScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(m_manager, m_script);
}

WebBridge::~WebBridge() {
    if (m_handlerId != 0) {
        webkit_user_content_manager_remove_script(m_manager, m_script);
        webkit_user_script_unref(m_script);
        webkit_user_content_manager_unregister_script_message_handler(m_manager, kChannel);
        g_signal_handler_disconnect(m_manager, m_handlerId);
    }
    g_object_unref(m_manager);
}

void WebBridge::OnScriptMessage(WebKitUserContentManager* /*manager*/,
                                WebKitJavascriptResult* result, gpointer self) {
    // Runs inside GLib's signal emission: nothing may escape.
    try {
        JSCValue* message = webkit_javascript_result_get_js_value(result);
        if (message == nullptr || !jsc_value_is_object(message)) {
            return;
        }
        const JsValue count = Property(message, "count");
        const JsValue args = Property(message, "args");
        if (!count || !jsc_value_is_number(count.get()) || !args ||
            !jsc_value_is_array(args.get())) {
            return;
        }
        // Beyond the first two, only whether there is exactly one argument matters, so the page
        // sends no more than two; any other count is represented by two non-strings.
        const double total = jsc_value_to_double(count.get());
        const std::size_t size = total == 0 ? 0 : total == 1 ? 1 : 2;
        std::vector<JsArgument> described(size);
        std::u16string text;
        if (size == 1) {
            described[0] = ReadArgument(args.get(), text);
        }
        static_cast<WebBridge*>(self)->m_external.Call(described);
    } catch (...) {
        // Out of memory: the call is lost, as a refused one would be.
    }
}

void WebBridge::CallPage(int32_t id, std::string_view ansiText) const {
    try {
        const std::string notice = std::to_string(id) + "," + platform::AnsiToUtf8(ansiText);
        GVariantDict arguments;
        g_variant_dict_init(&arguments, nullptr);
        g_variant_dict_insert_value(&arguments, "notice", g_variant_new_string(notice.c_str()));
        // Ours until the call returns: WebKit does not take a floating value over, and every
        // notice's arguments would stay behind.
        GVariant* values = g_variant_ref_sink(g_variant_dict_end(&arguments));
        webkit_web_view_call_async_javascript_function(m_view, kCallPageBody, -1, values, nullptr,
                                                       nullptr, nullptr, &OnCallPageDone, nullptr);
        g_variant_unref(values);
    } catch (...) {
        // Out of memory: the notice is lost, as one to a page without MessageProxy would be.
    }
}

}  // namespace harbex
