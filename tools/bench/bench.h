// Figures the project tracks by hand and in CI. A benchmark prints; it never fails on a time.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Entry {
    std::string name;
    std::function<void()> run;
};

std::vector<Entry>& Registry();

struct Registrar {
    Registrar(std::string name, std::function<void()> run)
    {
        Registry().push_back({std::move(name), std::move(run)});
    }
};

// Prints "name: value unit" in one aligned line.
void Figure(const std::string& name, double value, const std::string& unit);

// The time the line itself takes for Transactions request-and-reply pairs of 7-byte frames at
// Baud, 8N1 (ten bits a byte), in ms: the least any client can take.
inline double LineLimitMs(int Transactions, int Baud)
{
    return Transactions * 2.0 * 7 * 10 * 1000.0 / Baud;
}

} // namespace bench

#define KVT_BENCH_CAT2(a, b) a##b
#define KVT_BENCH_CAT(a, b) KVT_BENCH_CAT2(a, b)
#define KVT_BENCH(title)                                                          \
    static void KVT_BENCH_CAT(bench_fn_, __LINE__)();                             \
    static ::bench::Registrar KVT_BENCH_CAT(bench_reg_, __LINE__)(                \
        title, &KVT_BENCH_CAT(bench_fn_, __LINE__));                              \
    static void KVT_BENCH_CAT(bench_fn_, __LINE__)()
