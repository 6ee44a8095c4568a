// Peak memory for one 64 MiB report, collected and shown.
#include "bench.h"

#include <cstdio>

#include "driver/exchange.h"
#include "driver/tool_process.h"
#include "ui/drop_handler.h"

int Memory(const std::string& standIn) {
    StartExifToolAt(standIn);
    Window window;
    ExchangeWithExifTool({"C:\\warm-up"});
    const size_t before = PeakWorkingSet();
    const size_t size = 64 * kMiB;
    std::string report = ExchangeWithExifTool({"C:\\fake-big-" + std::to_string(size)}).report;
    const size_t collected = PeakWorkingSet();
    ShowReport(window.Box(), std::move(report));
    const size_t shown = PeakWorkingSet();
    const auto ratio = [&](size_t peak) {
        return static_cast<double>(peak - before) / static_cast<double>(size);
    };
    std::printf("\n| memory, 64 MiB report | peak working set above the start | ratio to the "
                "report | note |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| collected | %.1f MiB | %.2f | |\n",
                static_cast<double>(collected - before) / kMiB, ratio(collected));
    std::printf("| collected and shown | %.1f MiB | %.2f | %zu characters in the box |\n",
                static_cast<double>(shown - before) / kMiB, ratio(shown), window.TextLength());
    StopExifTool();
    return 0;
}
