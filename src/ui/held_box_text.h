// The box's text read where the box keeps it, as a copy of millions of
// characters would cost more than the reading. No message may go to the
// box while it is held.
#pragma once

#include <windows.h>

#include <string_view>

class HeldBoxText {
  public:
    explicit HeldBoxText(HWND box)
        : length_(static_cast<size_t>(GetWindowTextLengthW(box))),
          handle_(reinterpret_cast<HLOCAL>(SendMessageW(box, EM_GETHANDLE, 0, 0))),
          text_(handle_ != nullptr ? static_cast<const char16_t*>(LocalLock(handle_)) : nullptr) {}
    ~HeldBoxText() {
        if (text_ != nullptr) {
            LocalUnlock(handle_);
        }
    }
    HeldBoxText(const HeldBoxText&) = delete;
    HeldBoxText& operator=(const HeldBoxText&) = delete;

    std::u16string_view Text() const {
        return text_ != nullptr ? std::u16string_view(text_, length_) : std::u16string_view();
    }

  private:
    size_t length_;
    HLOCAL handle_;
    const char16_t* text_;
};
