// Many drops in a row with the real tool: each report checked, handles and memory compared.
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_process.h"

namespace {

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

} // namespace

int Soak(const std::string& tool, const std::string& work, int drops) {
    StartExifToolAt(tool);
    DropWindow window;
    const std::vector<std::string> paths = MakeImages(work + "\\soak", 10);
    DWORD handlesAt10 = 0;
    size_t memoryAt10 = 0;
    size_t wrong = 0;
    for (int i = 1; i <= drops; ++i) {
        const std::string& path = paths[static_cast<size_t>(i) % paths.size()];
        window.DropAndWait({path});
        std::wstring text(window.TextLength() + 1, L'\0');
        text.resize(static_cast<size_t>(
            GetWindowTextW(window.Box(), text.data(), static_cast<int>(text.size()))));
        const std::string name = path.substr(path.rfind('\\') + 1);
        if (Narrow(text).find(name) == std::string::npos) {
            ++wrong;
        }
        if (i == 10) {
            handlesAt10 = HandleCount();
            memoryAt10 = WorkingSet();
        }
    }
    const DWORD handlesAtEnd = HandleCount();
    std::printf("soak: %d drops, %zu reports not of their own file; working set %.1f MiB after "
                "10, %.1f MiB after the last; ",
                drops, wrong, static_cast<double>(memoryAt10) / kMiB,
                static_cast<double>(WorkingSet()) / kMiB);
    if (handlesAtEnd == 0) {
        std::printf("handle count not reported by this system\n");
    } else {
        std::printf("handles %lu after 10, %lu after the last\n", handlesAt10, handlesAtEnd);
    }
    StopExifTool();
    return wrong == 0 ? 0 : 1;
}
