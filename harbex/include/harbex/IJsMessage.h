// The one-operation callback through which a page's calls on window.external reach its host.
#pragma once

#include <cstdint>

#include "harbex/HarbexApi.h"

class HARBEX_API IJsMessage {
public:
    IJsMessage() = default;
    IJsMessage(const IJsMessage&) = default;
    IJsMessage& operator=(const IJsMessage&) = default;

    // One accepted call: the command number before the first comma, and the text after it in
    // the ANSI code page. The text belongs to the bridge: the handler may change it in place
    // but must not keep the pointer past the call.
    virtual void OnJsMessage(uint32_t dwCommand, char* pszText) = 0;

protected:
    // Never deleted through this interface; the one slot stays OnJsMessage.
    ~IJsMessage() = default;
};
