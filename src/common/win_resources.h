// The Win32 resources the program owns, each behind its own RAII type.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "common/unique_resource.h"

struct HandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HandleTraits>;

// Handles whose empty value is INVALID_HANDLE_VALUE: files, snapshots.
struct FileTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
using UniqueFile = UniqueResource<FileTraits>;

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

template <typename T> struct LocalMemoryTraits {
    using Type = T*;
    static Type Empty() { return nullptr; }
    static void Close(Type p) { LocalFree(p); }
};
template <typename T> using UniqueLocalMemory = UniqueResource<LocalMemoryTraits<T>>;

template <typename T> struct GdiObjectTraits {
    using Type = T;
    static Type Empty() { return nullptr; }
    static void Close(Type object) { DeleteObject(object); }
};
using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueResource<GdiObjectTraits<HBRUSH>>;

struct LibraryTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type m) { FreeLibrary(m); }
};
using UniqueLibrary = UniqueResource<LibraryTraits>;

struct DropTraits {
    using Type = HDROP;
    static Type Empty() { return nullptr; }
    static void Close(Type d) { DragFinish(d); }
};
using UniqueDrop = UniqueResource<DropTraits>;

// A window's device context, released to the window it came from.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, which gets its old one back.
class DcSelection {
  public:
    DcSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~DcSelection() {
        if (old_ != nullptr && old_ != HGDI_ERROR) {
            SelectObject(dc_, old_);
        }
    }
    DcSelection(const DcSelection&) = delete;
    DcSelection& operator=(const DcSelection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};
