// The running tool as the driver's two halves share it: the process half
// sets it up and takes it down, the exchange half talks over its pipes.
// Nothing outside the driver sees it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "common/win_resources.h"
#include "driver/error_stream.h"

struct ToolSession {
    // The tool's own ends are closed as soon as it has started, so that its
    // end shows here as a broken pipe.
    UniqueHandle StdInRd;
    UniqueHandle StdInWr;
    UniqueHandle StdOutRd;
    UniqueHandle StdOutWr;
    UniqueHandle StdErrRd;
    UniqueHandle StdErrWr;
    // Held over the whole of a request or of the stop lines, which a close
    // during a drop would otherwise write into each other.
    std::mutex Input;
    // The tool, to tell whether it still runs.
    UniqueHandle Process;
    // Its pipes failed, or it was ended: whether or not the system has
    // finished ending it, it answers no more.
    std::atomic<bool> Broken{false};
    // Holds the tool and all it starts, and ends them when the program ends
    // however it ends.
    UniqueHandle Job;
    // The thread that empties standard error, and what it has read that no
    // request has taken yet.
    UniqueHandle StdErrDrain;
    std::shared_ptr<ErrorStream> Errors;
    // Where the tool was started from, to start it again from there.
    std::string ToolPath;
};

ToolSession& Session();

// Waits for `signal` from a thread that reads or writes the tool's pipes.
// Once the tool is gone its calls fail at once; one still blocked is
// cancelled. False when the signal did not come.
bool AwaitPipeThread(HANDLE signal, HANDLE thread);

// Waits, once the tool is gone, for the exchange in progress to end, and
// drops its answer. False when it would not end; its pipes must then stay
// open.
bool EndExchange();
