// One counted reference to a COM object, released when the owner goes.
#pragma once

#include <objbase.h>
#include <unknwn.h>

namespace platform {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }

    T* operator->() const { return p_; }
    T* get() const { return p_; }
    // For a call that hands out a new reference: the old one is released first.
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

private:
    void Reset() {
        if (p_ != nullptr) {
            p_->Release();
            p_ = nullptr;
        }
    }
    T* p_ = nullptr;
};

// COM for the duration of one call into a COM service (an image decode, a PNG save); a thread
// that already has COM in another apartment model is used as it is.
class ComCallScope {
public:
    ComCallScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComCallScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComCallScope(const ComCallScope&) = delete;
    ComCallScope& operator=(const ComCallScope&) = delete;
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

}  // namespace platform
