#pragma once

#include <cstdint>
#include <string>

// The command line of an end-to-end benchmark: "--name=value" options of its
// own, and Google Benchmark's --benchmark_filter (scripts/bench.sh hands its
// arguments to every benchmark), which selects by name. Others are ignored.
class BenchArguments {
public:
    BenchArguments(int argc, char** argv);

    // Whether the filter (if any) selects the benchmark of this name.
    bool selects(const std::string& benchmarkName) const;
    int64_t number(const std::string& option, int64_t fallback) const;
    std::string text(const std::string& option, const std::string& fallback) const;

private:
    int m_argc;
    char** m_argv;
};
