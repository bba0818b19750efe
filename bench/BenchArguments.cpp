#include "BenchArguments.h"

#include <regex>

BenchArguments::BenchArguments(int argc, char** argv) : m_argc(argc), m_argv(argv)
{
}

bool BenchArguments::selects(const std::string& benchmarkName) const
{
    const std::string filter = text("benchmark_filter", "");
    if (filter.empty() || filter == "all")
        return true;
    if (filter[0] == '-')
        return !std::regex_search(benchmarkName, std::regex(filter.substr(1)));
    return std::regex_search(benchmarkName, std::regex(filter));
}

int64_t BenchArguments::number(const std::string& option, int64_t fallback) const
{
    const std::string value = text(option, "");
    return value.empty() ? fallback : std::stoll(value);
}

std::string BenchArguments::text(const std::string& option, const std::string& fallback) const
{
    const std::string prefix = "--" + option + "=";
    for (int i = 1; i < m_argc; ++i) {
        const std::string argument = m_argv[i];
        if (argument.compare(0, prefix.size(), prefix) == 0)
            return argument.substr(prefix.size());
    }
    return fallback;
}
