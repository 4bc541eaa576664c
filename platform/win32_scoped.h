// Scoped holders for the Win32 resources of the stub's Windows-only code (ui/ and shell/):
// each releases what it holds when its scope ends, on every return path. They throw nothing
// and inline to the same calls that a hand-written release would make.
#pragma once

#include <windows.h>
#include <objbase.h>

// A COM apartment for this thread: CoInitialize, and CoUninitialize when that succeeded.
// Declare it before the interface pointers it serves, so that they are released first.
class ScopedComInit {
 public:
  ScopedComInit() : ready_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ScopedComInit() {
    if (ready_) CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  bool ready() const { return ready_; }

 private:
  bool ready_;
};

// One interface pointer, released at the end of the scope. out() is the slot that
// CoCreateInstance and QueryInterface fill.
template <typename Interface>
class ScopedComPtr {
 public:
  ScopedComPtr() = default;
  ~ScopedComPtr() {
    if (pointer_) pointer_->Release();
  }
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;
  void** out() { return reinterpret_cast<void**>(&pointer_); }
  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

// A window's device context (GetDC), released with ReleaseDC. Null when GetDC failed.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  operator HDC() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context; the previous one is selected again at the end.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() { SelectObject(dc_, previous_); }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A kernel handle (a thread, a file), closed with CloseHandle. Null and INVALID_HANDLE_VALUE
// both hold nothing.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  void reset(HANDLE handle = nullptr) {
    if (handle_) CloseHandle(handle_);
    handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }
  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HANDLE handle_ = nullptr;
};
