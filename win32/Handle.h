// Owners for Windows handles: each closes or frees its handle exactly once.
// The base every other layer builds on: toolkit/, package/ and app/.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shtypes.h>

#include <utility>

namespace win32 {

// Traits give the handle type, its "no handle" value and how to close it.
template <typename Traits> class UniqueHandle {
public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle &&other) noexcept
      : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle &operator=(UniqueHandle &&other) noexcept {
    if (this != &other)
      Reset(std::exchange(other.handle_, Traits::Invalid()));
    return *this;
  }
  UniqueHandle(const UniqueHandle &) = delete;
  UniqueHandle &operator=(const UniqueHandle &) = delete;
  ~UniqueHandle() { Reset(); }

  Type Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  void Reset(Type handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid())
      Traits::Close(handle_);
    handle_ = handle;
  }
  // For a call that hands its new handle back through a pointer: what was
  // held is released first, and what the call writes is owned from then on.
  Type *Receive() {
    Reset();
    return &handle_;
  }

private:
  Type handle_ = Traits::Invalid();
};

// CreateFileW answers INVALID_HANDLE_VALUE on failure, not null.
struct FileTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
// Every other handle here is null when there is none.
template <typename T> struct NullWhenNone {
  using Type = T;
  static Type Invalid() { return nullptr; }
};
// Other kernel objects: tokens, processes.
struct KernelObjectTraits : NullWhenNone<HANDLE> {
  static void Close(Type h) { CloseHandle(h); }
};
template <typename T> struct GdiTraits : NullWhenNone<T> {
  static void Close(T h) { DeleteObject(h); }
};
struct MemoryDcTraits : NullWhenNone<HDC> {
  static void Close(Type h) { DeleteDC(h); }
};
struct WindowTraits : NullWhenNone<HWND> {
  static void Close(Type h) { DestroyWindow(h); }
};
// Memory the system allocated for the caller with LocalAlloc (texts, security
// descriptors), of whatever pointer type the call answers.
template <typename T> struct LocalMemoryTraits : NullWhenNone<T> {
  static void Close(T h) { LocalFree(h); }
};
// An item identifier the shell allocated with the task allocator.
struct ItemIdListTraits : NullWhenNone<PIDLIST_ABSOLUTE> {
  static void Close(Type h) { CoTaskMemFree(h); }
};
// A COM interface pointer, released once.
template <typename T> struct ComTraits : NullWhenNone<T *> {
  static void Close(T *p) { p->Release(); }
};
using FileHandle = UniqueHandle<FileTraits>;
using KernelObject = UniqueHandle<KernelObjectTraits>;
using FontHandle = UniqueHandle<GdiTraits<HFONT>>;
using BrushHandle = UniqueHandle<GdiTraits<HBRUSH>>;
using BitmapHandle = UniqueHandle<GdiTraits<HBITMAP>>;
using WindowHandle = UniqueHandle<WindowTraits>;
template <typename T> using LocalMemory = UniqueHandle<LocalMemoryTraits<T>>;
using ItemIdList = UniqueHandle<ItemIdListTraits>;
template <typename T> using ComPointer = UniqueHandle<ComTraits<T>>;

// A memory device context compatible with another (the screen by default);
// what is selected into it stays the caller's and is not deleted with it.
class MemoryDc : public UniqueHandle<MemoryDcTraits> {
public:
  explicit MemoryDc(HDC compatibleWith = nullptr)
      : UniqueHandle(CreateCompatibleDC(compatibleWith)) {}
};

} // namespace win32
