#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The table sizes a benchmark runs at: `--rows=N[,N...]` on the command line, taken out of the
// arguments before Google Benchmark reads them, or `sizes` when it is not given.
inline std::vector<int64_t> RowsArgument(int& argc, char** argv, std::vector<int64_t> sizes) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.rfind("--rows=", 0) != 0)
            continue;
        sizes.clear();
        const std::string list(argument.substr(7));
        for (size_t start = 0; start < list.size();) {
            const size_t comma = list.find(',', start);
            sizes.push_back(std::stoll(list.substr(start, comma - start)));
            start = comma == std::string::npos ? list.size() : comma + 1;
        }
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        --i;
    }
    return sizes;
}
