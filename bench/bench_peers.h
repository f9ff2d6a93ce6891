// Timing shared by the blitter, rotate-and-zoom and board benchmarks: each
// case reports ns per call of thread processor time (other work on the
// machine disturbs it less than the wall clock), peers record their best time
// per work item, and our case of the same work then reports
// "peer_over_ours", the fastest peer's time divided by ours (above 1: ours is
// faster). Peers are registered before our cases, so run the whole binary or
// a filter that keeps them.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <string>

#include "zk_blit.h"

inline std::map<std::string, double>& zk_peer_best() {
    static std::map<std::string, double> best;
    return best;
}

inline double zk_cpu_ns() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

template <class F>
void zk_timed(benchmark::State& state, const std::string& work, bool peer, int64_t pixels, F&& body) {
    const double t0 = zk_cpu_ns();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const double ns = (zk_cpu_ns() - t0) / double(state.iterations());
    state.SetItemsProcessed(int64_t(state.iterations()) * pixels);
    state.counters["ns_per_call"] = ns;
    auto& best = zk_peer_best();
    if (peer) {
        auto it = best.find(work);
        if (it == best.end() || ns < it->second) best[work] = ns;
    } else if (auto it = best.find(work); it != best.end()) {
        state.counters["peer_over_ours"] = it->second / ns;
    }
}

// Our cases run at the build level they are given (0: 16-byte vectors,
// 1: AVX2, 2: AVX2 with AVX-512BW), capped at what the processor runs.
struct ZkBenchLevel {
    int saved = zk_blit_level;
    explicit ZkBenchLevel(int64_t level) { zk_blit_level = std::min(saved, int(level)); }
    ~ZkBenchLevel() { zk_blit_level = saved; }
};
