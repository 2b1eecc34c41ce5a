// The host's handler for the document a browser shows. The base declines every request, so the
// browser keeps its own behaviour for each; a host derives from it and overrides what it needs.
//
// The one request a host normally answers is the page's window.external: overriding the
// portable GetExternal() below is enough on every platform. On Windows the class is the
// browser's IDocHostUIHandler, whose GetExternal(IDispatch**) hands out what GetExternal()
// returns (E_NOTIMPL while that is null); a Windows host may also override the COM operations.
#pragma once

#include "harbex/HarbexApi.h"
#include "harbex/JsExternal.h"

#if defined(_WIN32)
#include "harbex/BrowserCom_win.h"
#endif

#if defined(_WIN32)
// COM interfaces have no virtual destructor by design; this class adds one for its hosts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class HARBEX_API DocHostUI
#if defined(_WIN32)
    : public IDocHostUIHandler
#endif
{
public:
    DocHostUI() = default;
    DocHostUI(const DocHostUI&) = default;
    DocHostUI& operator=(const DocHostUI&) = default;
    virtual ~DocHostUI() = default;

    // The page's window.external; null gives the page none. The object is not counted and must
    // live as long as the browser can call it.
    virtual JsExternal* GetExternal() {
        return nullptr;
    }

#if defined(_WIN32)
    // IUnknown, without reference counting: the object is a member of its host.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDocHostUIHandler: all E_NOTIMPL, no out-argument written (GetExternal: see above).
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                              IDispatch* pdispReserved) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                     IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                     IOleInPlaceUIWindow* pDoc) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                           BOOL fRameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup,
                                                   DWORD nCmdID) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* pDropTarget,
                                            IDropTarget** ppDropTarget) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** ppDispatch) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn,
                                           LPWSTR* ppchURLOut) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;
#endif
};

#if defined(_WIN32)
#pragma GCC diagnostic pop
#endif
