// Every text the program shows in a message box.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace labels {
inline constexpr std::string_view kStdInCreatePipe = "E01 StdIn CreatePipe";
inline constexpr std::string_view kStdInSetHandleInformation = "E02 Stdin SetHandleInformation";
inline constexpr std::string_view kStdOutCreatePipe = "E03 StdOutRd CreatePipe";
inline constexpr std::string_view kStdOutSetHandleInformation = "E04 StdOut SetHandleInformation";
inline constexpr std::string_view kStdErrCreatePipe = "E05 StdErrRd CreatePipe";
inline constexpr std::string_view kStdErrSetHandleInformation = "E06 StdErr SetHandleInformation";
inline constexpr std::string_view kCreateProcess = "E07 CreateProcess";
inline constexpr std::string_view kWriteFile = "E08 WriteFile";
inline constexpr std::string_view kReadFile = "E09 ReadFile";
inline constexpr std::string_view kCreateEvent = "E10 CreateEvent";
inline constexpr std::string_view kCreateThread = "E11 CreateThread";
// Saving the report, and the dialogs that choose files.
inline constexpr std::string_view kCreateFile = "E12 CreateFile";
inline constexpr std::string_view kWriteSavedFile = "E13 WriteFile";
inline constexpr std::string_view kFlushFileBuffers = "E14 FlushFileBuffers";
inline constexpr std::string_view kMoveFileEx = "E15 MoveFileEx";
inline constexpr std::string_view kGetOpenFileName = "E16 GetOpenFileName";
inline constexpr std::string_view kGetSaveFileName = "E17 GetSaveFileName";
} // namespace labels

inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kMissingToolText = "Missing exiftool.exe";
inline constexpr std::string_view kMissingToolCaption = "Error - Missing Executable";
inline constexpr std::string_view kStartFailedText = "Child process exiftool failed to initialize";
inline constexpr std::string_view kStartFailedCaption = "Error starting exiftool";
inline constexpr std::string_view kNoMemoryText =
    "There is not enough memory to show the report of this drop.\r\n"
    "The box keeps what it showed before.";
inline constexpr std::string_view kReportCutText =
    "There is not enough memory to show the rest of the report of this drop.\r\n"
    "The box shows what came before.";

inline constexpr std::string_view kNoMemoryForFilesText =
    "There is not enough memory to open or save files now.\r\n"
    "The box keeps what it shows, and no file was written.";
inline constexpr std::string_view kTooManyChosenText =
    "Too many files were chosen to open at once.\r\n"
    "Choose fewer, or drop them on the window, which takes any number.";
// The line before a failed save's error report.
std::string NotSavedText(std::string_view path);

// Lines the program adds to the box, after the tool's report and errors.
inline constexpr std::string_view kLeftOutText =
    "Not handed to exiftool, as a line break in a name would break its request: ";
inline constexpr std::string_view kErrorTextLostText =
    "The tool's error text for this drop was lost: there was not enough memory to hold it.";
inline constexpr std::string_view kCancelledText =
    "The drop was cancelled: exiftool was stopped, and the next drop starts it again.";
inline constexpr std::string_view kShowingStoppedText =
    "The drop was cancelled: exiftool had answered, and the rest of its report is not shown.";

// Find's box when the text is not in the box.
inline constexpr std::string_view kFindCaption = "Find";
std::string NotFoundText(std::string_view what);

// The report text of a failed call: the label, " failed with error", the code
// as an unsigned decimal behind one space, CR LF, then the system's own text
// for the code as it comes (its line end, if any, ends the report).
std::string FormatErrorReport(std::string_view label, std::uint32_t code,
                              std::optional<std::string_view> systemText);
