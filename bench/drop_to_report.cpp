// Drop to report: the program against a minimal client of the same tool.
#include "bench.h"

#include <cstdio>

#include "driver/tool_process.h"

void DropToReport(const std::string& tool, const std::string& work) {
    std::printf("\n| drop to report | program | minimal client | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(tool);
    Window window;
    MinimalClient client(tool);
    for (size_t count : {size_t{1}, size_t{100}, size_t{1000}}) {
        const std::vector<std::string> paths =
            MakeImages(work + "\\files" + std::to_string(count), count);
        window.Drop(paths); // warms the tool's caches for both
        client.Request(paths);
        const int rounds = count == 1000 ? 5 : 15;
        const auto [ours, reference] = SideBySide(
            rounds, [&] { window.Drop(paths); }, [&] { client.Request(paths); });
        // How much of the difference is the box laying out the report.
        const std::string report = client.Request(paths);
        char note[128];
        std::snprintf(
            note, sizeof note, "difference %.2f ms, of which %.2f ms the box showing %zu bytes",
            (ours - reference) * 1000, ShowTime(window.Box(), report, 5) * 1000, report.size());
        Row(std::to_string(count) + " files", ours, reference, note);
    }
    StopExifTool();
}
