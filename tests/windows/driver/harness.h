// What the driver tests share: a fresh folder per test, the stand-in copied
// into it, the message boxes the driver showed, and the tools it left running.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "driver/exchange.h"
#include "driver/tool_process.h"

// One exchange's answer as the tests look at it: all of its report's pieces,
// how many takes brought them, and its end.
struct ToolAnswer : ExchangeEnd {
    std::string report;
    int takes = 0;
};

struct Box {
    std::string text;
    std::string caption;
    bool operator==(const Box& other) const {
        return text == other.text && caption == other.caption;
    }
};
void PrintTo(const Box& box, std::ostream* out);

// An environment variable in UTF-8; empty when it is not set.
std::string EnvironmentText(const wchar_t* name);

// Windows form (UTF-8) of a Unix path named by an environment variable, as
// Wine's drive Z: shows it.
std::string WindowsPathFromEnv(const wchar_t* name);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
void MakeFolders(const std::string& path);

// Image paths of the running processes whose exe lies under the folder;
// with `kill`, those processes are ended first.
std::vector<std::string> ProcessesUnder(const std::string& folder, bool kill = false);
void KillProcessesUnder(const std::string& folder);

// The label part of a box's text ("E09 ReadFile" of "E09 ReadFile failed
// with error 109 ...") and its code.
std::string LabelOf(const Box& box);
unsigned long CodeOf(const Box& box);
std::vector<std::string> Labels(const std::vector<Box>& boxes);
std::vector<std::string> Labels(const std::vector<ToolFailure>& failures);

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // This test's own empty folder, and its log folder for the stand-in.
    const std::string& Folder() const { return folder_; }
    std::string LogFolder() const { return folder_ + "\\log"; }

    // Copies the stand-in to Folder()\relativePath and returns its path.
    std::string PlaceStandIn(const std::string& relativePath);

    // Starts the tool at the path and remembers to stop it.
    int Start(const std::string& toolPath);
    // Stops the tool; returns how long that took.
    std::chrono::milliseconds Stop();

    // One exchange on its own thread, as the window runs one, that gives up,
    // killing this test's tools, when it takes longer than any working one
    // could; its report, or all it gave.
    std::string Exchange(const std::vector<std::string>& paths, int seconds = 60);
    ToolAnswer Answer(const std::vector<std::string>& paths, int seconds = 60);
    // The rest of the exchange begun already.
    ToolAnswer AnswerSoFar(ToolAnswer answer, int seconds = 60);

    std::vector<Box> Boxes() const;
    void ClearBoxes();

    std::string LoggedArgs() const { return ReadWholeFile(LogFolder() + "\\args.txt"); }
    std::string LoggedInput() const { return ReadWholeFile(LogFolder() + "\\input.bin"); }

  private:
    std::string folder_;
    bool running_ = false;
};

// The report the stand-in gives for an ordinary file name.
std::string FakeReportFor(const std::string& path);
