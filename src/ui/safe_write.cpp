#include "ui/safe_write.h"

#include <cstdio>
#include <random>

#include "common/utf8.h"
#include "common/win_resources.h"
#include "common/win_text.h"
#include "driver/tool_path.h"
#include "report/messages.h"
#include "report/show_error.h"
#include "ui/held_box_text.h"
#include "ui/result_box.h"

namespace {

// UTF-16 units converted and written at a time.
constexpr size_t kPiece = size_t{1} << 16;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Names tried for the new file before the folder's failure is shown.
constexpr int kNameTries = 16;

// The new file beside the chosen one, under a name no file had ("~md" and
// eight hex digits): closed, then removed again unless it took the chosen
// name. Another's file of that name is never touched.
class NewFile {
  public:
    NewFile() = default;
    ~NewFile() {
        handle_.Reset();
        if (created_ && !kept_) {
            DeleteFileW(path_.c_str());
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // The failure, when no name would do.
    std::optional<WriteFailure> Create(const std::string& beside) {
        static std::random_device source;
        const std::string folder = beside.substr(0, beside.rfind('\\') + 1);
        for (int tries = 1;; ++tries) {
            char name[16];
            std::snprintf(name, sizeof name, "~md%08x.tmp", static_cast<unsigned>(source()));
            path_ = Widen(ExtendedLengthPath(folder + name));
            handle_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
            const DWORD code = GetLastError();
            if (handle_) {
                created_ = true;
                return std::nullopt;
            }
            if (code != ERROR_FILE_EXISTS || tries == kNameTries) {
                return WriteFailure{labels::kCreateFile, code};
            }
        }
    }

    const std::wstring& Path() const { return path_; }
    HANDLE Handle() const { return handle_.Get(); }
    void Close() { handle_.Reset(); }
    void Keep() { kept_ = true; }

  private:
    std::wstring path_;
    UniqueFile handle_;
    bool created_ = false;
    bool kept_ = false;
};

// The failed write's code, if one failed.
std::optional<DWORD> WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            const DWORD code = GetLastError();
            return code;
        }
        if (written == 0) {
            // Taking nothing would repeat for ever.
            return DWORD{ERROR_WRITE_FAULT};
        }
        bytes.remove_prefix(written);
    }
    return std::nullopt;
}

// The text in UTF-8, a piece at a time, never parting a surrogate pair.
std::optional<DWORD> WriteUtf8(HANDLE file, std::u16string_view text) {
    std::optional<DWORD> failed;
    while (!failed && !text.empty()) {
        const size_t size = WholePieceLength(text, kPiece);
        const std::wstring_view piece(reinterpret_cast<const wchar_t*>(text.data()), size);
        failed = WriteAll(file, Narrow(piece));
        text.remove_prefix(size);
    }
    return failed;
}

} // namespace

std::optional<WriteFailure> WriteTextFile(const std::string& path, std::u16string_view text,
                                          std::u16string_view more) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 is wchar_t here");
    const std::wstring target = Widen(ExtendedLengthPath(path));
    // Windows' move refuses to replace a read-only file with this code, but
    // not every system's does: refused here first, the same everywhere.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return WriteFailure{labels::kMoveFileEx, ERROR_ACCESS_DENIED};
    }
    NewFile file;
    if (std::optional<WriteFailure> failure = file.Create(path)) {
        return failure;
    }
    std::optional<DWORD> failed = WriteAll(file.Handle(), kByteOrderMark);
    for (const std::u16string_view part : {text, more}) {
        failed = failed ? failed : WriteUtf8(file.Handle(), part);
    }
    if (failed) {
        return WriteFailure{labels::kWriteSavedFile, *failed};
    }
    if (!FlushFileBuffers(file.Handle())) {
        const DWORD code = GetLastError();
        return WriteFailure{labels::kFlushFileBuffers, code};
    }
    file.Close();
    if (!MoveFileExW(file.Path().c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        return WriteFailure{labels::kMoveFileEx, code};
    }
    file.Keep();
    return std::nullopt;
}

void SaveBoxText(HWND box, const std::string& path) {
    std::optional<WriteFailure> failure;
    {
        // A box refilled in a new face or decoding holds only the start so far.
        const std::u16string takenOut = BoxTextTakenOut();
        const HeldBoxText held(box);
        failure = WriteTextFile(path, held.Text(), takenOut);
    }
    if (failure) {
        ShowError(NotSavedText(path), failure->label, failure->code);
    }
}
