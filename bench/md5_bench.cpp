// md5_digest against OpenSSL's MD5 over the same 64 MiB, in one run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <random>
#include <string>

#include "bench/bench_reporter.h"
#include "container/md5.h"

namespace {

const std::string& input() {
    static const std::string data = [] {
        std::string d(64u << 20, '\0');
        std::mt19937_64 random(1);
        for (std::size_t i = 0; i + 8 <= d.size(); i += 8) {
            std::uint64_t v = random();
            d.replace(i, 8, reinterpret_cast<const char*>(&v), 8);
        }
        return d;
    }();
    return data;
}

void md5_digest_64MiB(benchmark::State& state) {
    const std::string& data = input();
    for (auto _ : state) {
        trevan::md5_digest d;
        d.update(data.data(), data.size());
        benchmark::DoNotOptimize(d.digest());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void openssl_md5_64MiB(benchmark::State& state) {
    const std::string& data = input();
    for (auto _ : state) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_Digest(data.data(), data.size(), out, &size, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

BENCHMARK(md5_digest_64MiB)->Unit(benchmark::kMillisecond)->Repetitions(7)->UseRealTime();
BENCHMARK(openssl_md5_64MiB)->Unit(benchmark::kMillisecond)->Repetitions(7)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    input();
    benchmark::Initialize(&argc, argv);
    trevan::bench::median_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double ours = reporter.time("md5_digest_64MiB/repeats:7/real_time");
    double theirs = reporter.time("openssl_md5_64MiB/repeats:7/real_time");
    if (ours > 0 && theirs > 0) {
        double ratio = theirs / ours;
        std::printf("\nmd5_digest throughput: %.1f MiB/s, OpenSSL MD5: %.1f MiB/s, ratio %.3f (target >= 0.95): %s\n",
                    64e3 / ours, 64e3 / theirs, ratio, ratio >= 0.95 ? "met" : "NOT MET");
    }
    benchmark::Shutdown();
    return 0;
}
