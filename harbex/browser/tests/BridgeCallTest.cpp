#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/BridgeCall.h"
#include "harbex/DocHostUI.h"
#include "harbex/JsExternal.h"

namespace {

using harbex::JsArgument;
using harbex::kJsCallDone;
using harbex::kJsCallRefused;

struct Delivered {
    uint32_t command;
    std::string text;
    bool operator==(const Delivered&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Delivered& call) {
        return out << '{' << call.command << ", \"" << call.text << "\"}";
    }
};

class RecordingSink final : public IJsMessage {
public:
    void OnJsMessage(uint32_t command, char* text) override { calls.push_back({command, text}); }
    std::vector<Delivered> calls;
};

JsArgument Text(const std::u16string& text) {
    return {true, text};
}

// One call with one string argument; the text must outlive the call only.
int32_t CallWith(const JsExternal& external, const std::u16string& text) {
    const JsArgument argument = Text(text);
    return external.Call({&argument, 1});
}

class BridgeCall : public ::testing::Test {
protected:
    RecordingSink sink;
    JsExternal external{sink};

    std::vector<Delivered> Deliver(const std::u16string& text) {
        sink.calls.clear();
        EXPECT_EQ(CallWith(external, text), kJsCallDone);
        return sink.calls;
    }
};

using Calls = std::vector<Delivered>;

TEST_F(BridgeCall, SplitsCommandAndTextAtTheFirstComma) {
    EXPECT_EQ(Deliver(u"7,abc&def"), (Calls{{7, "abc&def"}}));
    EXPECT_EQ(Deliver(u"2,"), (Calls{{2, ""}}));
    EXPECT_EQ(Deliver(u"7,a,b"), (Calls{{7, "a,b"}}));
    EXPECT_EQ(Deliver(u"abc,x"), (Calls{{0, "x"}}));
    EXPECT_EQ(Deliver(u" 12,x"), (Calls{{12, "x"}}));
    EXPECT_EQ(Deliver(u"-1,x"), (Calls{{4294967295u, "x"}}));
}

TEST_F(BridgeCall, DropsCallsWithoutACommandSilently) {
    EXPECT_TRUE(Deliver(u"").empty());
    EXPECT_TRUE(Deliver(u",x").empty());
    EXPECT_TRUE(Deliver(u"8").empty());  // no comma, so no text part
    EXPECT_TRUE(Deliver(std::u16string(u"\0,x", 3)).empty());
}

TEST_F(BridgeCall, CommandPartHoldsAtMost31Characters) {
    const std::u16string longest = u"000000000000000000000000000007";  // 30 zeros and a 7
    ASSERT_EQ(longest.size() + 1, 31u);
    EXPECT_EQ(Deliver(u" " + longest + u",x"), (Calls{{7, "x"}}));
    EXPECT_TRUE(Deliver(u"  " + longest + u",x").empty());
}

TEST_F(BridgeCall, RefusesEveryOtherCallShape) {
    const std::u16string first = u"7,a";
    const std::u16string second = u"7,b";
    const JsArgument two[] = {Text(first), Text(second)};
    EXPECT_EQ(external.Call(two), kJsCallRefused);

    const JsArgument number[] = {{false, {}}};
    EXPECT_EQ(external.Call(number), kJsCallRefused);

    EXPECT_EQ(external.Call({}), kJsCallRefused);
    EXPECT_TRUE(sink.calls.empty());
}

TEST_F(BridgeCall, TextMustFit4095AnsiBytes) {
    EXPECT_EQ(Deliver(u"1," + std::u16string(4095, u'a')), (Calls{{1, std::string(4095, 'a')}}));
    EXPECT_TRUE(Deliver(u"1," + std::u16string(4096, u'a')).empty());

    // Each of these characters takes two bytes in the ANSI code page.
    const std::u16string wide(2047, u'\u4E2D');
    const Calls fits = Deliver(u"1," + wide + u"a");
    ASSERT_EQ(fits.size(), 1u);
    EXPECT_EQ(fits[0].text.size(), 4095u);
    EXPECT_TRUE(Deliver(u"1," + wide + u"\u4E2D").empty());

    // Far too long to be converted at all.
    EXPECT_TRUE(Deliver(u"1," + std::u16string(100000, u'a')).empty());
}

TEST_F(BridgeCall, ConvertsTheTextToTheAnsiCodePage) {
    EXPECT_EQ(Deliver(u"7,game&\u4E2D\u6587"), (Calls{{7, "game&\xD6\xD0\xCE\xC4"}}));
    // A character the code page lacks becomes a question mark; the rest is kept.
    EXPECT_EQ(Deliver(u"7,a\u0E01b"), (Calls{{7, "a?b"}}));
    // The text ends where the C string the host receives would end.
    EXPECT_EQ(Deliver(std::u16string(u"7,ab\0cd", 7)), (Calls{{7, "ab"}}));
}

TEST_F(BridgeCall, CopiesServeTheSameSink) {
    const JsExternal copy(external);
    EXPECT_EQ(CallWith(copy, u"6,"), kJsCallDone);
    EXPECT_EQ(sink.calls, (Calls{{6, ""}}));
}

// A host answering a page's call may cause another call while the first is running (on the
// COM engine the answer is a nested script call); each call keeps its own text.
class NestingSink final : public IJsMessage {
public:
    const JsExternal* external = nullptr;
    std::vector<std::string> seen;
    void OnJsMessage(uint32_t command, char* text) override {
        text[0] = 'X';  // the text is the host's to change
        if (command == 8) {
            EXPECT_EQ(CallWith(*external, u"7,inner"), kJsCallDone);
        }
        seen.push_back(text);
    }
};

TEST(BridgeCallNesting, NestedCallsKeepTheirOwnText) {
    NestingSink sink;
    const JsExternal external(sink);
    sink.external = &external;
    EXPECT_EQ(CallWith(external, u"8,outer"), kJsCallDone);
    EXPECT_EQ(sink.seen, (std::vector<std::string>{"Xnner", "Xuter"}));
}

class ThrowingSink final : public IJsMessage {
public:
    void OnJsMessage(uint32_t, char*) override { throw std::runtime_error("host failure"); }
};

TEST(BridgeCallFailures, HostFailureIsNotThePagesError) {
    ThrowingSink sink;
    const JsExternal external(sink);
    EXPECT_EQ(CallWith(external, u"7,x"), kJsCallDone);
}

TEST(ParseCommandNumber, ReadsLikeWcstoulWith32BitUnsignedLong) {
    using harbex::ParseCommandNumber;
    EXPECT_EQ(ParseCommandNumber(u"7"), 7u);
    EXPECT_EQ(ParseCommandNumber(u"007"), 7u);
    EXPECT_EQ(ParseCommandNumber(u"\t\n\v\f\r 12"), 12u);
    EXPECT_EQ(ParseCommandNumber(u"+5"), 5u);
    EXPECT_EQ(ParseCommandNumber(u"12abc"), 12u);
    EXPECT_EQ(ParseCommandNumber(u"abc"), 0u);
    EXPECT_EQ(ParseCommandNumber(u""), 0u);
    EXPECT_EQ(ParseCommandNumber(u"-"), 0u);
    EXPECT_EQ(ParseCommandNumber(u"- 1"), 0u);
    EXPECT_EQ(ParseCommandNumber(u"4294967295"), 4294967295u);
    EXPECT_EQ(ParseCommandNumber(u"4294967296"), 4294967295u);
    EXPECT_EQ(ParseCommandNumber(u"99999999999999999999999"), 4294967295u);
    EXPECT_EQ(ParseCommandNumber(u"-1"), 4294967295u);
    EXPECT_EQ(ParseCommandNumber(u"-4294967295"), 1u);
    EXPECT_EQ(ParseCommandNumber(u"-4294967296"), 4294967295u);
    EXPECT_EQ(ParseCommandNumber(u"\u3000"
                                 u"5"),
              0u);  // only the C locale's blanks
}

// The shape of the game host: one class is the document handler, the sink and the owner of the
// external object, and the handler hands that object out.
class HostWindow final : public DocHostUI, public IJsMessage {
public:
    HostWindow() : m_external(*this) {}
    JsExternal* GetExternal() override { return &m_external; }
    void OnJsMessage(uint32_t command, char* text) override { calls.push_back({command, text}); }

    JsExternal m_external;
    std::vector<Delivered> calls;
};

TEST(DocHostUIExternal, BaseGivesNoneAndHostGivesItsOwn) {
    DocHostUI base;
    EXPECT_EQ(base.GetExternal(), nullptr);

    HostWindow host;
    DocHostUI& handler = host;
    JsExternal* external = handler.GetExternal();
    ASSERT_EQ(external, &host.m_external);
    EXPECT_EQ(CallWith(*external, u"8,"), kJsCallDone);
    EXPECT_EQ(host.calls, (Calls{{8, ""}}));
}

}  // namespace
