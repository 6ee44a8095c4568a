// How long the box takes to show a large report.
#include "bench.h"

#include <cstdio>

void ShowingLargeReports() {
    std::printf("\n| showing a report | time | per MiB | note |\n");
    std::printf("|---|---|---|---|\n");
    DropWindow window;
    for (size_t mib : {size_t{4}, size_t{16}}) {
        std::string report;
        report.reserve(mib * kMiB);
        for (size_t line = 0; report.size() < mib * kMiB; ++line) {
            report += "Tag " + std::to_string(line) + "                  : value of the tag\r\n";
        }
        report.resize(mib * kMiB);
        const double t = ShowTime(window.Box(), report, 3);
        std::printf("| %zu MiB | %.1f ms | %.1f ms | %zu characters in the box |\n", mib, t * 1000,
                    t * 1000 / static_cast<double>(mib), window.TextLength());
        std::fflush(stdout);
    }
}
