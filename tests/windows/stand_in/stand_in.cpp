// Speaks exiftool's stay-open protocol and answers with scripted reports.
// A request's file names steer it: a name whose base starts with "fake-" is
// a command, any other name gets a two-line report of its own. The answer
// is written in the order of the names, in pieces where a command breaks it.
// Like the tool, it writes the text of "-echo4 TEXT" to standard error once
// the request's report is out.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD kSplitPauseMs = 100;

std::string Narrow(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return std::string();
    }
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}

void WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() < 65536 ? bytes.size() : 65536);
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            // Nobody is listening any more.
            ExitProcess(4);
        }
        bytes.remove_prefix(written);
    }
}

// The optional log that lets tests see which exe ran and every byte it got.
class Log {
  public:
    Log() {
        wchar_t folder[4096];
        const DWORD length = GetEnvironmentVariableW(L"FAKE_EXIFTOOL_LOG", folder, 4096);
        if (length == 0 || length >= 4096) {
            return;
        }
        folder_.assign(folder, length);
        const std::wstring& base = folder_;
        args_ = Open(base + L"\\args.txt");
        input_ = Open(base + L"\\input.bin");
    }
    ~Log() {
        if (args_ != INVALID_HANDLE_VALUE) {
            CloseHandle(args_);
        }
        if (input_ != INVALID_HANDLE_VALUE) {
            CloseHandle(input_);
        }
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    void Arguments(const std::string& exe, const std::vector<std::string>& args) {
        if (args_ == INVALID_HANDLE_VALUE) {
            return;
        }
        std::string text = "exe=" + exe + "\n";
        for (const std::string& arg : args) {
            text += "arg=" + arg + "\n";
        }
        WriteAll(args_, text);
    }

    void Input(std::string_view bytes) {
        if (input_ != INVALID_HANDLE_VALUE) {
            WriteAll(input_, bytes);
        }
    }

    // Waits until the test puts a file named "release" in the log folder,
    // and takes it away; two minutes at most.
    void Hold() {
        const std::wstring release = folder_ + L"\\release";
        for (int i = 0; i < 12000 && !DeleteFileW(release.c_str()); ++i) {
            Sleep(10);
        }
    }

  private:
    static HANDLE Open(const std::wstring& path) {
        return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::wstring folder_;
    HANDLE args_ = INVALID_HANDLE_VALUE;
    HANDLE input_ = INVALID_HANDLE_VALUE;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// The number that ends a command name, as in "fake-big-1000.txt".
size_t NumberAfter(std::string_view name, std::string_view prefix) {
    return static_cast<size_t>(
        std::strtoull(std::string(name.substr(prefix.size())).c_str(), nullptr, 10));
}

// Exactly `size` bytes of numbered lines, the last one ending in LF too.
std::string BigReport(size_t size) {
    std::string report;
    report.reserve(size);
    size_t line = 0;
    while (report.size() < size) {
        std::string text = "Line " + std::to_string(line++) + " : ";
        text.resize(62, 'x');
        text += "\r\n";
        const size_t room = size - report.size();
        if (room < text.size()) {
            text.erase(0, text.size() - room);
        }
        report += text;
    }
    return report;
}

// One answer, written in pieces, each after its own pause, so that the
// reader sees each piece's end as the end of a read.
struct Answer {
    struct Piece {
        std::string text;
        DWORD pauseMs = 0;
        // Written once the test releases it.
        bool held = false;
    };
    std::vector<Piece> pieces{Piece()};
    // How it ends once written: its marker, or the tool exits or hangs.
    enum class End { Marker, Exit, Hang } end = End::Marker;
    void Add(std::string_view text) { pieces.back().text += text; }
    void Break(DWORD pauseMs = kSplitPauseMs, bool held = false) {
        pieces.push_back({std::string(), pauseMs, held});
    }
};

class StandIn {
  public:
    StandIn() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)) {}

    Log log;

    // Standard input is read, and logged, on a thread of its own, so that the
    // log shows all that was written to the tool even while it is busy with
    // a request. The lines come out of `lines` in order.
    bool StartReading(HANDLE* lines) {
        HANDLE write = nullptr;
        if (!CreatePipe(lines, &write, nullptr, 65536)) {
            return false;
        }
        reading_.from = GetStdHandle(STD_INPUT_HANDLE);
        reading_.to = write;
        reading_.log = &log;
        reader_ = CreateThread(nullptr, 0, Forward, &reading_, 0, nullptr);
        return reader_ != nullptr;
    }

    // False once the tool should end.
    bool Line(const std::string& line) {
        if (previousWasStayOpen_ && line == "False" && !ignoreStop_) {
            return false;
        }
        previousWasStayOpen_ = line == "-stay_open";
        if (StartsWith(line, "-execute") && AllDigits(std::string_view(line).substr(8))) {
            Execute(line.substr(8));
            args_.clear();
            return true;
        }
        args_.push_back(line);
        return true;
    }

  private:
    void Execute(const std::string& digits) {
        Answer answer;
        size_t splitAt = std::string::npos;
        DWORD splitPauseMs = kSplitPauseMs;
        bool splitHeld = false;
        std::string echo;
        DWORD lateErrorMs = 0;
        for (size_t i = 0; i < args_.size() && answer.end == Answer::End::Marker; ++i) {
            const std::string& arg = args_[i];
            if (arg == "-charset" || arg == "-echo4") {
                if (arg == "-echo4" && i + 1 < args_.size()) {
                    echo += args_[i + 1] + "\r\n";
                }
                ++i;
                continue;
            }
            if (StartsWith(arg, "-")) {
                continue;
            }
            const size_t slash = arg.find_last_of("\\/");
            const std::string base = slash == std::string::npos ? arg : arg.substr(slash + 1);
            if (!StartsWith(base, "fake-")) {
                answer.Add("======== " + arg + "\r\nFake Name : " + base + "\r\n");
            } else if (StartsWith(base, "fake-big-")) {
                answer.Add(BigReport(NumberAfter(base, "fake-big-")));
            } else if (StartsWith(base, "fake-split-")) {
                // "fake-split-K", "fake-split-K-MS" or "fake-split-K-hold": the
                // marker cut after K bytes, its rest written MS later or once
                // released.
                splitAt = NumberAfter(base, "fake-split-");
                const size_t dash = base.find('-', 11);
                if (dash != std::string::npos) {
                    splitHeld = base.compare(dash + 1, 4, "hold") == 0;
                    splitPauseMs = static_cast<DWORD>(NumberAfter(base, base.substr(0, dash + 1)));
                }
            } else if (StartsWith(base, "fake-hold")) {
                // The rest once the test releases it.
                answer.Break(0, true);
            } else if (StartsWith(base, "fake-pause-")) {
                answer.Break(static_cast<DWORD>(NumberAfter(base, "fake-pause-")));
            } else if (StartsWith(base, "fake-stderr-")) {
                // Lines of 64 bytes, the last one cut.
                WriteAll(err_, BigReport(NumberAfter(base, "fake-stderr-")));
            } else if (StartsWith(base, "fake-error")) {
                // What the tool says of a file that is not there.
                WriteAll(err_, "Error: File not found - " + arg + "\r\n");
            } else if (StartsWith(base, "fake-slow-")) {
                Sleep(static_cast<DWORD>(NumberAfter(base, "fake-slow-")));
            } else if (StartsWith(base, "fake-late-error-")) {
                // An error line, and the end of the errors, long after the report.
                lateErrorMs = static_cast<DWORD>(NumberAfter(base, "fake-late-error-"));
            } else if (StartsWith(base, "fake-die")) {
                // Dies in the middle of a line.
                answer.Add("======== partial\r\nFake Name : par");
                answer.end = Answer::End::Exit;
            } else if (StartsWith(base, "fake-exit")) {
                answer.end = Answer::End::Exit;
            } else if (StartsWith(base, "fake-hang")) {
                answer.end = Answer::End::Hang;
            } else if (StartsWith(base, "fake-zero")) {
                answer.Add(std::string_view("before\0after\r\n", 14));
            } else if (StartsWith(base, "fake-inject")) {
                // Each piece ends where a careless reader would stop.
                answer.Add("{ready}\r\n");
                answer.Break();
                answer.Add("Comment : {ready" + digits + "}\r\n");
                answer.Break();
                answer.Add("After : done\r\n");
            } else if (StartsWith(base, "fake-ignore-stop")) {
                ignoreStop_ = true;
            } else if (StartsWith(base, "fake-utf8")) {
                answer.Add("Title : r\xC3\xA9sum\xC3\xA9 \xD0\x96\r\n");
            } else if (StartsWith(base, "fake-ansi")) {
                answer.Add("Title : r\xE9sum\xE9\r\n");
            } else if (StartsWith(base, "fake-noeol")) {
                // A line the next piece has yet to end.
                answer.Add("Unended : line");
            }
            // Any other "fake-" name, "fake-empty" say, adds nothing.
        }
        const std::string marker = "{ready" + digits + "}\r\n";
        if (answer.end == Answer::End::Marker) {
            if (splitAt < marker.size()) {
                answer.Add(marker.substr(0, splitAt));
                answer.Break(splitPauseMs, splitHeld);
                answer.Add(marker.substr(splitAt));
            } else {
                answer.Add(marker);
            }
        }
        for (const Answer::Piece& piece : answer.pieces) {
            Sleep(piece.pauseMs);
            if (piece.held) {
                log.Hold();
            }
            WriteAll(out_, piece.text);
        }
        if (answer.end == Answer::End::Exit) {
            ExitProcess(3);
        }
        if (answer.end == Answer::End::Hang) {
            Sleep(INFINITE);
        }
        if (lateErrorMs > 0) {
            Sleep(lateErrorMs);
            WriteAll(err_,
                     "Error: late, " + std::to_string(lateErrorMs) + " ms after the report\r\n");
        }
        WriteAll(err_, echo);
    }

    struct Reading {
        HANDLE from;
        HANDLE to;
        Log* log;
    };

    static DWORD WINAPI Forward(void* argument) {
        Reading& reading = *static_cast<Reading*>(argument);
        char buffer[4096];
        DWORD read = 0;
        DWORD written = 0;
        while (ReadFile(reading.from, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            reading.log->Input(std::string_view(buffer, read));
            if (!WriteFile(reading.to, buffer, read, &written, nullptr)) {
                break;
            }
        }
        CloseHandle(reading.to);
        return 0;
    }

    Reading reading_;
    HANDLE reader_ = nullptr;

    HANDLE out_;
    HANDLE err_;
    std::vector<std::string> args_;
    bool previousWasStayOpen_ = false;
    bool ignoreStop_ = false;
};

} // namespace

// With FAKE_EXIFTOOL_LAUNCH set it is a launcher, as exiftool.exe is of
// perl: it starts itself on its own handles and waits for that to end.
int Launch() {
    SetEnvironmentVariableW(L"FAKE_EXIFTOOL_LAUNCH", nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    std::wstring line = GetCommandLineW();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &started)) {
        return 6;
    }
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    return static_cast<int>(code);
}

int main() {
    if (GetEnvironmentVariableW(L"FAKE_EXIFTOOL_LAUNCH", nullptr, 0) > 0) {
        return Launch();
    }
    StandIn tool;

    std::vector<std::string> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv != nullptr && i < count; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    LocalFree(argv);
    wchar_t self[32768];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, 32768);
    self[selfLength < 32768 ? selfLength : 0] = L'\0';
    tool.log.Arguments(Narrow(self), args);

    HANDLE in = nullptr;
    if (!tool.StartReading(&in)) {
        return 5;
    }
    std::string pending;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &read, nullptr) || read == 0) {
            return 0;
        }
        pending.append(buffer, read);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!tool.Line(line)) {
                return 0;
            }
        }
    }
}
