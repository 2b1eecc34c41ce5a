// An HTML view for the tests that records every navigation it is asked about and refuses those
// its test chooses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harbex/HtmlView.h"

namespace harbex_test {

struct AskedNavigation {
    std::string url;
    std::uint32_t flags = 0;
    std::string frame;
    std::vector<std::uint8_t> posted;
    std::string headers;
    bool operator==(const AskedNavigation&) const = default;
};

class RecordingView : public CHtmlBrower {
public:
    void OnBeforeNavigate2(const char* lpszURL, std::uint32_t nFlags,
                           const char* lpszTargetFrameName,
                           const std::vector<std::uint8_t>& baPostedData, const char* lpszHeaders,
                           bool* pbCancel) override {
        CHtmlBrower::OnBeforeNavigate2(lpszURL, nFlags, lpszTargetFrameName, baPostedData,
                                       lpszHeaders, pbCancel);
        asked.push_back({lpszURL, nFlags, lpszTargetFrameName, baPostedData, lpszHeaders});
        if (refuse && refuse(asked.back().url)) {
            *pbCancel = true;
        }
    }

    // The addresses asked about, in order.
    std::vector<std::string> AskedUrls() const {
        std::vector<std::string> urls;
        for (const AskedNavigation& navigation : asked) {
            urls.push_back(navigation.url);
        }
        return urls;
    }

    std::vector<AskedNavigation> asked;
    std::function<bool(const std::string& url)> refuse;
};

}  // namespace harbex_test
