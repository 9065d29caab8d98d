#include "bench.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace bench {

std::vector<Entry>& Registry()
{
    static std::vector<Entry> entries;
    return entries;
}

void Figure(const std::string& name, double value, const std::string& unit)
{
    std::printf("  %-58s %14.3f %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

} // namespace bench

// kvt27-bench [filter]: runs every benchmark whose name contains the filter.
int main(int argc, char** argv)
{
    const char* filter = argc > 1 ? argv[1] : "";
    int failed = 0;
    for (const auto& e : bench::Registry()) {
        if (std::strstr(e.name.c_str(), filter) == nullptr)
            continue;
        std::printf("%s\n", e.name.c_str());
        std::fflush(stdout);
        try {
            e.run();
        } catch (const std::exception& ex) {
            std::printf("  failed: %s\n", ex.what());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
