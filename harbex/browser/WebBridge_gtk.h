// The script bridge on a WebKitGTK view: the page's window.external, and calls of the page's
// MessageProxy function.
//
// window.external is defined by a user script injected at document start into every frame:
// every member of it, whatever its name, is a function that posts its arguments with their
// script types to the host, where JsExternal::Call judges them by the same rules as the COM
// bridge. A property put (window.external.x = "2,") counts as a call with that one value.
//
// One difference from the COM bridge: a page's call does not wait for the host. It returns at
// once with no value and the host handles it on its next turn of the main loop, so a refused
// call raises no script error in the page, and a notice that the host sends in answer to a
// command (for example the answer to a parameter query) reaches the page after the page's own
// call has returned, not nested inside it. Calls reach the host in the order the page made them,
// and notices reach the page in the order the host sent them.
#pragma once

#include <webkit2/webkit2.h>

#include <cstdint>
#include <string_view>

#include "harbex/HarbexApi.h"
#include "harbex/JsExternal.h"

namespace harbex {

class HARBEX_API WebBridge {
public:
    // Wires `external` to the pages the view loads from now on (install it before loading).
    // The view and the external object must outlive the bridge; the bridge must be destroyed
    // before the view's widget.
    WebBridge(WebKitWebView* view, JsExternal& external);
    ~WebBridge();
    WebBridge(const WebBridge&) = delete;
    WebBridge& operator=(const WebBridge&) = delete;

    // False when the view already had a bridge: then this one does nothing.
    bool IsInstalled() const { return m_handlerId != 0; }

    // Calls the page's global MessageProxy with one string "<id>,<text>" (the text given in
    // the ANSI code page). Lost silently when no document is loaded or it has no MessageProxy;
    // the result and any script error are ignored.
    void CallPage(int32_t id, std::string_view ansiText) const;

private:
    static void OnScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result,
                                gpointer self);

    WebKitWebView* m_view;
    WebKitUserContentManager* m_manager;
    WebKitUserScript* m_script = nullptr;
    JsExternal& m_external;
    gulong m_handlerId = 0;
};

}  // namespace harbex
