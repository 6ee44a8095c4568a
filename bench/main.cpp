// Measures the program's work against the fastest thing that does the same
// work, side by side in one run, and prints a table of medians and ratios.
//
//   bench <exiftool.exe> <stand-in.exe> <metadrop.exe> <bare_dialog.exe> <work folder>
//   bench --memory <stand-in.exe>        peak working set of one 64 MiB report
//   bench --soak <exiftool.exe> <work folder> <drops>
//   bench --bare-client <exiftool.exe> <folder>   the tool alone writing the folder's report
//   bench --find <exiftool.exe> <folder> <name>   Find Next in the folder's report
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    if (args.size() == 2 && args[0] == "--memory") {
        return Memory(args[1]);
    }
    if (args.size() == 3 && args[0] == "--bare-client") {
        return BareClient(args[1], args[2]);
    }
    if (args.size() == 4 && args[0] == "--find") {
        return FindInBigReport(args[1], args[2], args[3]);
    }
    if (args.size() == 4 && args[0] == "--soak") {
        return Soak(args[1], args[2], std::stoi(args[3]));
    }
    // --only NAME runs one table: drops, perdrop, large, show or startup.
    std::string only;
    if (args.size() == 7 && args[5] == "--only") {
        only = args[6];
        args.resize(5);
    }
    if (args.size() != 5) {
        std::fputs("usage: bench <exiftool.exe> <stand-in.exe> <metadrop.exe> "
                   "<bare_dialog.exe> <work folder>\n",
                   stderr);
        return 2;
    }
    CreateDirectoryW(Widen(args[4]).c_str(), nullptr);
    const auto wanted = [&](const char* name) { return only.empty() || only == name; };
    if (wanted("drops")) {
        DropToReport(args[0], args[4]);
        ErrorFraming(args[0], args[4]);
    }
    if (wanted("perdrop")) {
        AgainstProcessPerDrop(args[0], args[4]);
    }
    if (wanted("large")) {
        LargeReports(args[1]);
    }
    if (wanted("show")) {
        ShowingLargeReports();
    }
    if (wanted("startup")) {
        StartUp(args[2], args[3], args[0]);
    }
    return 0;
}
