// The big drop's references and the time to find in its report: the tool
// alone writing the folder's report to a bare client, and Find Next on the
// report in the program's box.
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_process.h"
#include "ui/find.h"

int BareClient(const std::string& tool, const std::string& folder) {
    MinimalClient client(tool);
    client.Request({folder + "\\warm-up-missing"});
    const double start = Now();
    const std::string report = client.Request({folder});
    const double seconds = Now() - start;
    std::printf("{\"bare_client_s\":%.3f,\"bytes\":%zu,\"characters\":%zu}\n", seconds,
                report.size(), Widen(report).size());
    return 0;
}

int FindInBigReport(const std::string& tool, const std::string& folder, const std::string& last) {
    StartExifToolAt(tool);
    DropWindow window;
    window.DropAndWait({folder}, 3600);
    const std::wstring name = Widen(last);
    const auto timed = [&](const std::wstring& what) {
        SendMessageW(window.Box(), EM_SETSEL, 0, 0);
        std::vector<double> times;
        bool found = false;
        for (int i = 0; i < 5; ++i) {
            SendMessageW(window.Box(), EM_SETSEL, 0, 0);
            const double start = Now();
            found = FindInBox(window.Box(), what, true, false, false);
            times.push_back(Now() - start);
        }
        return std::make_pair(Median(times), found);
    };
    const auto [nearEnd, foundNearEnd] = timed(name);
    const auto [missing, foundMissing] = timed(L"no such text in the report");
    std::printf("| find | %.1f ms (%s) | %.1f ms (%s) | %zu characters in the box |\n",
                nearEnd * 1000, foundNearEnd ? "found" : "NOT FOUND", missing * 1000,
                foundMissing ? "FOUND" : "not found", window.TextLength());
    StopExifTool();
    return 0;
}
