// Collecting large reports: the program against a raw read of the same bytes.
#include "bench.h"

#include <cstdio>

#include "driver/exchange.h"
#include "driver/tool_process.h"

void LargeReports(const std::string& standIn) {
    std::printf("\n| large report | program | raw pipe read | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(standIn);
    MinimalClient client(standIn);
    double perMiB1 = 0;
    for (size_t mib : {size_t{1}, size_t{16}, size_t{64}}) {
        const std::string path = "C:\\fake-big-" + std::to_string(mib * kMiB);
        const std::string marker = "{ready1}\r\n";
        const auto [ours, reference] = SideBySide(
            5,
            [&] {
                size_t collected = 0;
                ExchangeWithExifTool({path},
                                     [&](std::string_view piece) { collected += piece.size(); });
            },
            [&] {
                client.Send("-charset\r\nfilename=utf8\r\n" + path + "\r\n-execute1\r\n");
                client.ReadBytes(mib * kMiB + marker.size());
            });
        if (mib == 1) {
            perMiB1 = ours;
        }
        char note[96];
        std::snprintf(note, sizeof note, "%.1f ms per MiB; %.2f x the 1 MiB time per MiB",
                      ours * 1000 / static_cast<double>(mib),
                      ours / static_cast<double>(mib) / perMiB1);
        Row("read " + std::to_string(mib) + " MiB", ours, reference, note);
    }
    StopExifTool();
}
