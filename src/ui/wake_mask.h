// Which messages wake the window's loop, as numbers only.
#pragma once

#include <functional>

// Input bits that headers for Windows 8 put in all input and that Windows 7
// refuses in a wait: QS_TOUCH and QS_POINTER.
inline constexpr unsigned kNewInputBits = 0x0800 | 0x1000;
// Raw input, which Windows before XP refuses.
inline constexpr unsigned kRawInputBit = 0x0400;

// All input when the system takes that mask in a wait; else all input less
// what a system of its age refuses, the newest bits first. The last choice
// when it takes none: a wait that fails must not be what stops the loop.
unsigned ChooseWakeMask(unsigned allInput, const std::function<bool(unsigned mask)>& taken);
