// MD5 throughput: the engine over memory, and our file hash beside md5sum on the same file.
// Everything is timed by the wall clock, as md5sum (another process) can only be.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codec/Md5.h"

namespace {

constexpr std::size_t kSize = std::size_t{64} << 20;

std::vector<unsigned char> TestBytes() {
    std::vector<unsigned char> bytes(kSize);
    std::uint32_t x = 2463534242u;  // xorshift: incompressible, reproducible
    for (auto& byte : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<unsigned char>(x);
    }
    return bytes;
}

std::string g_path;      // the 64 MiB temp file
std::string g_expected;  // its digest as computed in memory

void BM_Md5Memory(benchmark::State& state) {
    static const std::vector<unsigned char> bytes = TestBytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(harbex::Md5::Of(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Md5Memory)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Md5File(benchmark::State& state) {
    for (auto _ : state) {
        const auto digest = harbex::Md5OfFile(g_path.c_str());
        if (!digest || harbex::Md5::ToHex(*digest) != g_expected) {
            state.SkipWithError("wrong digest");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Md5File)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same 1 MiB chunked reads through std::ifstream, to compare with the std::FILE reads above.
void BM_Md5FileIfstream(benchmark::State& state) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    const std::unique_ptr<char[]> chunk(new char[kChunk]);
    for (auto _ : state) {
        std::ifstream in(g_path, std::ios::binary);
        harbex::Md5 md5;
        while (in) {
            in.read(chunk.get(), kChunk);
            md5.Update(chunk.get(), static_cast<std::size_t>(in.gcount()));
        }
        if (harbex::Md5::ToHex(md5.Final()) != g_expected) {
            state.SkipWithError("wrong digest");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Md5FileIfstream)->UseRealTime()->Unit(benchmark::kMillisecond);

// md5sum as a process, timed from start to its answer.
void BM_Md5sum(benchmark::State& state) {
    const std::string command = "md5sum '" + g_path + "'";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            state.SkipWithError("cannot start md5sum");
            return;
        }
        char line[256] = {};
        const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
        const int status = pclose(pipe);
        const auto stop = std::chrono::steady_clock::now();
        if (!read || status != 0 || std::string(line, 32) != g_expected) {
            state.SkipWithError("md5sum failed or disagrees");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}
BENCHMARK(BM_Md5sum)->UseManualTime()->Unit(benchmark::kMillisecond);

bool WriteTestFile() {
    const auto bytes = TestBytes();
    g_expected = harbex::Md5::ToHex(harbex::Md5::Of(bytes.data(), bytes.size()));
    g_path =
        (std::filesystem::temp_directory_path() /
         ("bench_md5_" +
          std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".bin"))
            .string();
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!WriteTestFile()) {
        std::fprintf(stderr, "cannot write the test file %s\n", g_path.c_str());
        return 1;
    }
    // Warm the page cache so both file hashes read from memory.
    (void)harbex::Md5OfFile(g_path.c_str());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(g_path.c_str());
    return 0;
}
