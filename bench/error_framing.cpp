#include "bench.h"

#include <cstdio>

// What marking the end of a request's errors costs the tool, apart from
// anything else the program does.
void ErrorFraming(const std::string& tool, const std::string& work) {
    std::printf("\n| error framing | with -echo4 | without | ratio | note |\n");
    std::printf("|---|---|---|---|---|\n");
    MinimalClient client(tool);
    for (size_t count : {size_t{1}, size_t{1000}}) {
        const std::vector<std::string> paths =
            MakeImages(work + "\\files" + std::to_string(count), count);
        client.Request(paths);
        const auto [framed, plain] = SideBySide(
            count == 1000 ? 7 : 41, [&] { client.Request(paths, true); },
            [&] { client.Request(paths); });
        Row(std::to_string(count) + " files", framed, plain, "minimal client, same requests");
    }
}
