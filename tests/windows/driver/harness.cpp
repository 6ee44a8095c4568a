#include "harness.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "common/win_resources.h"
#include "common/win_text.h"
#include "report/show_error.h"

namespace {

std::mutex boxesLock;
std::vector<Box> recordedBoxes;

// Boxes can come from the exchange's own thread.
void RecordBox(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> hold(boxesLock);
    recordedBoxes.push_back({text, caption});
}

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(Widen(utf8));
}

std::string StandInPath() {
    return WindowsPathFromEnv(L"METADROP_WIN_DIR") +
           "\\tests\\windows\\stand_in\\fake_exiftool.exe";
}

} // namespace

std::string EnvironmentText(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD length =
        GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) {
        return std::string();
    }
    value.resize(length);
    return Narrow(value);
}

std::string WindowsPathFromEnv(const wchar_t* name) {
    const std::string value = EnvironmentText(name);
    if (value.empty() || value[0] != '/') {
        ADD_FAILURE() << Narrow(name) << " is not set to a Unix path";
        return std::string();
    }
    std::string path = "Z:" + value;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    while (path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(FsPath(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

bool PathExists(const std::string& path) {
    return std::filesystem::exists(FsPath(path));
}

void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(FsPath(path));
}

std::vector<std::string> ProcessesUnder(const std::string& folder, bool kill) {
    const std::wstring prefix = Lower(Widen(folder + "\\"));
    std::vector<std::string> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.Get() == INVALID_HANDLE_VALUE) {
        snapshot.Release();
        ADD_FAILURE() << "no process snapshot";
        return found;
    }
    const DWORD access =
        PROCESS_QUERY_LIMITED_INFORMATION | (kill ? PROCESS_TERMINATE | SYNCHRONIZE : 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        UniqueHandle process(OpenProcess(access, FALSE, entry.th32ProcessID));
        if (!process) {
            continue;
        }
        std::wstring image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!QueryFullProcessImageNameW(process.Get(), 0, image.data(), &size)) {
            continue;
        }
        image.resize(size);
        if (Lower(image).compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        if (kill) {
            TerminateProcess(process.Get(), 99);
            WaitForSingleObject(process.Get(), 10000);
        }
        found.push_back(Narrow(image));
    }
    return found;
}

void KillProcessesUnder(const std::string& folder) {
    ProcessesUnder(folder, true);
}

void PrintTo(const Box& box, std::ostream* out) {
    *out << "box \"" << box.caption << "\": " << ::testing::PrintToString(box.text);
}

std::string LabelOf(const Box& box) {
    const size_t end = box.text.find(" failed with error ");
    return end == std::string::npos ? box.text : box.text.substr(0, end);
}

unsigned long CodeOf(const Box& box) {
    const size_t at = box.text.find(" failed with error ");
    if (at == std::string::npos) {
        return 0;
    }
    return std::strtoul(box.text.c_str() + at + 19, nullptr, 10);
}

std::vector<std::string> Labels(const std::vector<Box>& boxes) {
    std::vector<std::string> labels;
    for (const Box& box : boxes) {
        labels.push_back(LabelOf(box));
    }
    return labels;
}

std::vector<std::string> Labels(const std::vector<ToolFailure>& failures) {
    std::vector<std::string> labels;
    for (const ToolFailure& failure : failures) {
        labels.emplace_back(failure.label);
    }
    return labels;
}

std::string FakeReportFor(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return "======== " + path + "\r\nFake Name : " + base + "\r\n";
}

void DriverTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = WindowsPathFromEnv(L"METADROP_TEST_ROOT") + "\\driver\\" + info->test_suite_name() +
              "." + info->name();
    std::error_code ignored;
    std::filesystem::remove_all(FsPath(folder_), ignored);
    MakeFolders(LogFolder());
    SetEnvironmentVariableW(L"FAKE_EXIFTOOL_LOG", Widen(LogFolder()).c_str());
    ClearBoxes();
    SetMessageSink(RecordBox);
}

void DriverTest::TearDown() {
    if (running_) {
        Stop();
    }
    KillProcessesUnder(folder_);
    SetMessageSink(nullptr);
    SetEnvironmentVariableW(L"FAKE_EXIFTOOL_LOG", nullptr);
}

std::string DriverTest::PlaceStandIn(const std::string& relativePath) {
    const std::string path = folder_ + "\\" + relativePath;
    MakeFolders(path.substr(0, path.rfind('\\')));
    EXPECT_TRUE(CopyFileW(Widen(StandInPath()).c_str(), Widen(path).c_str(), FALSE))
        << StandInPath() << " -> " << path;
    return path;
}

int DriverTest::Start(const std::string& toolPath) {
    const int started = StartExifToolAt(toolPath);
    running_ = started == 1;
    return started;
}

std::chrono::milliseconds DriverTest::Stop() {
    const auto begin = std::chrono::steady_clock::now();
    StopExifTool();
    running_ = false;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 begin);
}

std::string DriverTest::Exchange(const std::vector<std::string>& paths, int seconds) {
    return Answer(paths, seconds).report;
}

ToolAnswer DriverTest::Answer(const std::vector<std::string>& paths, int seconds) {
    if (BeginExchange(paths) == nullptr) {
        ADD_FAILURE() << "no thread for the exchange";
        return ToolAnswer();
    }
    return AnswerSoFar(ToolAnswer(), seconds);
}

ToolAnswer DriverTest::AnswerSoFar(ToolAnswer answer, int seconds) {
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    bool killed = false;
    for (;;) {
        HANDLE output = ExchangeInProgress();
        if (output == nullptr) {
            ADD_FAILURE() << "no exchange in progress";
            return answer;
        }
        const ULONGLONG now = GetTickCount64();
        if (WaitForSingleObject(output, static_cast<DWORD>(deadline - std::min(deadline, now))) !=
            WAIT_OBJECT_0) {
            if (killed) {
                ADD_FAILURE() << "the exchange did not end with its tool";
                return answer;
            }
            ADD_FAILURE() << "the exchange hung; killing the tool";
            KillProcessesUnder(folder_);
            killed = true;
            deadline = GetTickCount64() + 10000;
            continue;
        }
        ExchangeOutput taken = TakeExchangeOutput();
        if (!taken.pieces.empty()) {
            answer.report += taken.pieces;
            ++answer.takes;
        }
        if (taken.end) {
            static_cast<ExchangeEnd&>(answer) = std::move(*taken.end);
            return answer;
        }
    }
}

std::vector<Box> DriverTest::Boxes() const {
    std::lock_guard<std::mutex> hold(boxesLock);
    return recordedBoxes;
}

void DriverTest::ClearBoxes() {
    std::lock_guard<std::mutex> hold(boxesLock);
    recordedBoxes.clear();
}
