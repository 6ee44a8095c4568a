// The program against starting the tool for each drop, as one would without it.
#include "bench.h"

#include <cstdio>

#include "common/win_text.h"
#include "driver/tool_process.h"

namespace {

// Runs the tool once for one drop's files, as one would without the program.
void OneProcessPerDrop(const std::string& tool, const std::string& argFile) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle outRead;
    UniqueHandle outWrite;
    CreatePipe(outRead.Put(), outWrite.Put(), &inherit, 0);
    SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = outWrite.Get();
    std::wstring line = Widen("\"" + tool + "\" -@ \"" + argFile + "\"");
    PROCESS_INFORMATION started{};
    CreateProcessW(Widen(tool).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                   nullptr, nullptr, &startup, &started);
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    outWrite.Reset();
    std::vector<char> buffer(32768);
    DWORD read = 0;
    while (ReadFile(outRead.Get(), buffer.data(), 32768, &read, nullptr)) {
    }
    WaitForSingleObject(process.Get(), INFINITE);
}

std::string ArgFile(const std::string& folder, const std::vector<std::string>& paths) {
    std::string text = "-charset\r\nfilename=utf8\r\n";
    for (const std::string& path : paths) {
        text += path + "\r\n";
    }
    const std::string file = folder + "\\args.txt";
    WriteFileBytes(file, text.data(), text.size());
    return file;
}

} // namespace

void AgainstProcessPerDrop(const std::string& tool, const std::string& work) {
    std::printf("\n| one tool process per drop | process per drop | program | times faster | "
                "note |\n");
    std::printf("|---|---|---|---|---|\n");
    StartExifToolAt(tool);
    DropWindow window;
    for (size_t count : {size_t{1}, size_t{100}, size_t{1000}}) {
        const std::string folder = work + "\\files" + std::to_string(count);
        const std::vector<std::string> paths = MakeImages(folder, count);
        const std::string argFile = ArgFile(folder, paths);
        window.DropAndWait(paths);
        const int rounds = count == 1000 ? 3 : 7;
        const auto [perDrop, ours] = SideBySide(
            rounds, [&] { OneProcessPerDrop(tool, argFile); }, [&] { window.DropAndWait(paths); });
        Row(std::to_string(count) + " files", perDrop, ours, "tool started for each drop");
    }
    StopExifTool();
}
