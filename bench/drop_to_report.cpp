// Drop to report: the program against a minimal client of the same tool.
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_process.h"

namespace {

// From the drop to the whole report in the emptied box. What the window does
// after (its painting, the end of the drop) is left out, as it was before
// the box took the report piece by piece.
double DropToText(DropWindow& window, const std::vector<std::string>& paths, size_t characters) {
    window.RunUntilAnswered();
    SetWindowTextW(window.Box(), L"");
    const double start = Now();
    window.Drop(paths);
    window.RunUntil([&] { return window.TextLength() >= characters; }, 3600);
    const double took = Now() - start;
    window.RunUntilAnswered();
    return took;
}

} // namespace

void DropToReport(const std::string& tool, const std::string& work) {
    std::printf("\n| drop to report | program | minimal client | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(tool);
    DropWindow window;
    MinimalClient client(tool);
    for (size_t count : {size_t{1}, size_t{100}, size_t{1000}}) {
        const std::vector<std::string> paths =
            MakeImages(work + "\\files" + std::to_string(count), count);
        window.DropAndWait(paths); // warms the tool's caches for both
        const std::string report = client.Request(paths);
        const size_t characters = Widen(report).size();
        const int rounds = count == 1000 ? 5 : 15;
        std::vector<double> ours;
        const double reference =
            SideBySide(
                rounds, [&] { ours.push_back(DropToText(window, paths, characters)); },
                [&] { client.Request(paths); })
                .second;
        // How much of the difference is the box laying out the report.
        char note[128];
        std::snprintf(note, sizeof note,
                      "difference %.2f ms, of which %.2f ms the box showing %zu bytes",
                      (Median(ours) - reference) * 1000, ShowTime(window.Box(), report, 5) * 1000,
                      report.size());
        Row(std::to_string(count) + " files", Median(ours), reference, note);
    }
    StopExifTool();
}
