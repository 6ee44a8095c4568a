// Peak memory for one large report, dropped and shown.
#include "bench.h"

#include <cstdio>

#include "driver/tool_process.h"

int Memory(const std::string& standIn) {
    StartExifToolAt(standIn);
    DropWindow window;
    window.DropAndWait({"C:\\warm-up"});
    const size_t before = PeakWorkingSet();
    const size_t size = 8 * kMiB;
    window.DropAndWait({"C:\\fake-big-" + std::to_string(size)});
    const size_t shown = PeakWorkingSet();
    std::printf("\n| memory, 8 MiB report | peak working set above the start | ratio to the "
                "report | note |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| dropped and shown | %.1f MiB | %.2f | %zu characters in the box |\n",
                static_cast<double>(shown - before) / kMiB,
                static_cast<double>(shown - before) / static_cast<double>(size),
                window.TextLength());
    StopExifTool();
    return 0;
}
