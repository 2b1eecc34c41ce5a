#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "HttpTestServer.h"
#include "platform/Http.h"

namespace {

using platform::HttpOutcome;
using namespace std::chrono_literals;

std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Compares the body with the expected bytes block by block instead of keeping it, and records
// how the blocks and progress reports arrived.
class CheckingSink : public platform::HttpSink {
public:
    explicit CheckingSink(const std::string& expected, std::uint64_t abortAfter = UINT64_MAX)
        : expected_(expected), abortAfter_(abortAfter) {}

    bool OnData(const char* data, std::size_t size) override {
        if (size > largestBlock) {
            largestBlock = size;
        }
        if (offset + size > expected_.size() || expected_.compare(offset, size, data, size) != 0) {
            mismatch = true;
        }
        offset += size;
        return true;
    }
    bool OnProgress(std::uint64_t received, std::int64_t announced) override {
        if (received != offset || received < lastProgress) {
            badProgress = true;
        }
        lastProgress = received;
        lastAnnounced = announced;
        ++progressCalls;
        if (throwAt != 0 && received >= throwAt) {
            throw std::runtime_error("sink failure");
        }
        return received < abortAfter_;
    }

    std::size_t offset = 0;
    std::size_t largestBlock = 0;
    std::uint64_t lastProgress = 0;
    std::int64_t lastAnnounced = -2;
    int progressCalls = 0;
    bool mismatch = false;
    bool badProgress = false;
    std::uint64_t throwAt = 0;

private:
    const std::string& expected_;
    std::uint64_t abortAfter_;
};

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.ok()) << server_.why(); }

    platform::HttpResult Get(const std::string& path, CheckingSink& sink,
                             std::chrono::milliseconds stall = 5000ms) {
        platform::HttpOptions options;
        options.stallTimeout = stall;
        return client_.Download(server_.Url(path), sink, options);
    }

    platform_test::HttpTestServer server_;
    platform::HttpClient client_;
};

TEST_F(HttpTest, LargeFileArrivesExactlyInBoundedBlocksWithProgress) {
    ASSERT_TRUE(client_.valid());
    const std::string file = Pattern(3 * 1024 * 1024 + 123, 1);
    server_.Put("big.bin", file);
    CheckingSink sink(file);
    const platform::HttpResult result = Get("/big.bin?123.456", sink);

    EXPECT_EQ(result.outcome, HttpOutcome::kCompleted) << platform::HttpOutcomeName(result.outcome);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.announced, static_cast<std::int64_t>(file.size()));
    EXPECT_EQ(result.received, file.size());
    EXPECT_EQ(sink.offset, file.size());
    EXPECT_FALSE(sink.mismatch);
    EXPECT_FALSE(sink.badProgress);
    EXPECT_EQ(sink.lastAnnounced, static_cast<std::int64_t>(file.size()));
    // Streamed: no block is bigger than the client's block size, so nothing held the file.
    EXPECT_LE(sink.largestBlock, platform::kHttpBlockSize);
    EXPECT_GE(sink.progressCalls, static_cast<int>(file.size() / platform::kHttpBlockSize));
}

TEST_F(HttpTest, ReplacedFileIsFetchedAgainNotFromACache) {
    const std::string first = Pattern(20000, 2);
    const std::string second = Pattern(20000, 3);
    server_.Put("same.bin", first);
    CheckingSink one(first);
    EXPECT_EQ(Get("/same.bin", one).outcome, HttpOutcome::kCompleted);
    EXPECT_FALSE(one.mismatch);
    server_.Put("same.bin", second);
    CheckingSink two(second);
    EXPECT_EQ(Get("/same.bin", two).outcome, HttpOutcome::kCompleted);
    EXPECT_FALSE(two.mismatch);
    EXPECT_EQ(two.offset, second.size());
}

TEST_F(HttpTest, RedirectsAreFollowedAndBodiesWithoutLengthRunToTheEnd) {
    const std::string file = Pattern(50000, 4);
    server_.Put("moved.bin", file);
    CheckingSink redirected(file);
    EXPECT_EQ(Get("/__redirect?to=/moved.bin", redirected).outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(redirected.offset, file.size());
    EXPECT_FALSE(redirected.mismatch);

    CheckingSink chunked(file);
    const platform::HttpResult result = Get("/moved.bin?chunked=1", chunked);
    EXPECT_EQ(result.outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(result.announced, -1);
    EXPECT_EQ(chunked.offset, file.size());
    EXPECT_FALSE(chunked.mismatch);
}

TEST_F(HttpTest, ErrorStatusesAreReportedAndTheirBodiesNeverReachTheSink) {
    const std::string nothing;
    for (const auto& [path, status] : {std::pair<std::string, int>{"/missing.bin", 404},
                                       {"/any.bin?status=500", 500},
                                       {"/any.bin?status=403", 403}}) {
        CheckingSink sink(nothing);
        const platform::HttpResult result = Get(path, sink);
        EXPECT_EQ(result.outcome, HttpOutcome::kHttpStatus) << path;
        EXPECT_EQ(result.status, status) << path;
        EXPECT_EQ(sink.offset, 0u) << path;
        EXPECT_EQ(result.received, 0u) << path;
    }
}

TEST_F(HttpTest, BodiesEndingBeforeTheAnnouncedLengthAreShort) {
    const std::string file = Pattern(100000, 5);
    server_.Put("cut.bin", file);
    CheckingSink cut(file);
    platform::HttpResult result = Get("/cut.bin?cut=30000", cut);
    EXPECT_EQ(result.outcome, HttpOutcome::kShort) << platform::HttpOutcomeName(result.outcome);
    EXPECT_EQ(result.announced, 100000);
    EXPECT_EQ(result.received, 30000u);
    EXPECT_FALSE(cut.mismatch);

    // The whole file, but a length that promises more.
    CheckingSink longer(file);
    result = Get("/cut.bin?extra=5000", longer);
    EXPECT_EQ(result.outcome, HttpOutcome::kShort) << platform::HttpOutcomeName(result.outcome);
    EXPECT_EQ(result.announced, 105000);
    EXPECT_EQ(result.received, file.size());
}

TEST_F(HttpTest, AStallEndsTheTransferWithinTheStallTime) {
#ifdef _WIN32
    // Wine's WinInet does not apply receive timeouts to reads, so under Wine a stalled read
    // waits for the server; Windows' WinInet ends it after the timeout.
    GTEST_SKIP() << "receive timeouts are not applied by Wine's WinInet";
#endif
    const std::string file = Pattern(40000, 6);
    server_.Put("slow.bin", file);
    CheckingSink stalled(file);
    const auto start = std::chrono::steady_clock::now();
    const platform::HttpResult result = Get("/slow.bin?stall=8000", stalled, 1000ms);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, HttpOutcome::kStalled) << platform::HttpOutcomeName(result.outcome);
    EXPECT_EQ(result.received, 20000u);
    EXPECT_GE(elapsed, 900ms);
    EXPECT_LT(elapsed, 3500ms);
}

TEST_F(HttpTest, AStopRequestEndsAStalledTransferAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "WinInet's reads block; the stop request is seen between blocks only";
#endif
    // The sink asks to stop a quarter of a second in, while the server holds back the rest of
    // the body for eight seconds and the stall time is far away.
    class StoppingSink : public CheckingSink {
    public:
        using CheckingSink::CheckingSink;
        bool Cancelled() const override {
            return std::chrono::steady_clock::now() - start_ > 250ms;
        }

    private:
        std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    };
    const std::string file = Pattern(40000, 6);
    server_.Put("held.bin", file);
    StoppingSink sink(file);
    const auto start = std::chrono::steady_clock::now();
    const platform::HttpResult result = Get("/held.bin?stall=8000", sink, 30000ms);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, HttpOutcome::kAborted) << platform::HttpOutcomeName(result.outcome);
    EXPECT_LT(elapsed, 2500ms);
}

TEST_F(HttpTest, SlowButSteadyTrafficIsNoStall) {
    const std::string file = Pattern(40000, 6);
    server_.Put("slow.bin", file);
    // 40000 bytes at 40000 bytes/s arrive in pieces a tenth of a second apart: never a stall.
    CheckingSink throttled(file);
    const platform::HttpResult slow = Get("/slow.bin?rate=40000", throttled, 1000ms);
    EXPECT_EQ(slow.outcome, HttpOutcome::kCompleted) << platform::HttpOutcomeName(slow.outcome);
    EXPECT_EQ(throttled.offset, file.size());
    EXPECT_FALSE(throttled.mismatch);
}

TEST_F(HttpTest, AFileFailingTwiceIsServedOnTheThirdRequest) {
    const std::string file = Pattern(10000, 7);
    server_.Put("flaky.bin", file);
    server_.SetFaults("/flaky.bin fail=2\n");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        CheckingSink sink(file);
        const platform::HttpResult result = Get("/flaky.bin?1." + std::to_string(attempt), sink);
        EXPECT_EQ(result.outcome, HttpOutcome::kHttpStatus) << attempt;
        EXPECT_EQ(result.status, 500) << attempt;
        EXPECT_EQ(sink.offset, 0u);
    }
    CheckingSink sink(file);
    EXPECT_EQ(Get("/flaky.bin?1.3", sink).outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(sink.offset, file.size());
    EXPECT_FALSE(sink.mismatch);
}

TEST_F(HttpTest, TheSinkCanAbortByAnswerOrByThrowing) {
    const std::string file = Pattern(200000, 8);
    server_.Put("abort.bin", file);
    CheckingSink answer(file, 1);
    platform::HttpResult result = Get("/abort.bin", answer);
    EXPECT_EQ(result.outcome, HttpOutcome::kAborted);
    EXPECT_EQ(answer.progressCalls, 1);
    EXPECT_LT(answer.offset, file.size());

    CheckingSink thrower(file);
    thrower.throwAt = 50000;
    result = Get("/abort.bin", thrower);
    EXPECT_EQ(result.outcome, HttpOutcome::kAborted);
    EXPECT_LT(thrower.offset, file.size());

    // The client is still usable afterwards.
    CheckingSink after(file);
    EXPECT_EQ(Get("/abort.bin", after).outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(after.offset, file.size());
}

TEST_F(HttpTest, NoServerIsAConnectionErrorWithTheSystemsText) {
    const std::string nothing;
    CheckingSink sink(nothing);
    platform::HttpOptions options;
    options.stallTimeout = 3000ms;
    // Port 1 on the loopback: nothing listens there, the connection is refused.
    const platform::HttpResult result =
        client_.Download("http://127.0.0.1:1/file.bin", sink, options);
    EXPECT_EQ(result.outcome, HttpOutcome::kConnectionError);
    EXPECT_EQ(result.status, 0);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(sink.offset, 0u);
}

TEST_F(HttpTest, FetchTextKeepsSmallBodiesAndRefusesOnesOverTheLimit) {
    server_.Put("text.txt", "version=1\r\n");
    std::string body = "old";
    platform::HttpResult result = platform::FetchText(client_, server_.Url("/text.txt"), body);
    EXPECT_EQ(result.outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(body, "version=1\r\n");

    const std::string big = Pattern(100000, 9);
    server_.Put("big.txt", big);
    result = platform::FetchText(client_, server_.Url("/big.txt"), body, {}, 50000);
    EXPECT_EQ(result.outcome, HttpOutcome::kAborted);
    EXPECT_LE(body.size(), 50000u);
    result = platform::FetchText(client_, server_.Url("/big.txt?chunked=1"), body, {}, 50000);
    EXPECT_EQ(result.outcome, HttpOutcome::kAborted);
    EXPECT_LE(body.size(), 50000u);
    result = platform::FetchText(client_, server_.Url("/big.txt"), body, {}, 100000);
    EXPECT_EQ(result.outcome, HttpOutcome::kCompleted);
    EXPECT_EQ(body, big);
}

}  // namespace
