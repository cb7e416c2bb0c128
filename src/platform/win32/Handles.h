#pragma once
// One move-only owner per kind of system handle; the empty value is part of the type.
#include <windows.h>

#include <objbase.h>
#include <winsvc.h>
#include <utility>

namespace korvalis::platform::win32 {

// Traits name the empty value and how to close: struct { using Type; static Type Empty(); static void Close(Type); }.
template <typename Traits>
class UniqueHandle {
 public:
  using T = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(T handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Empty())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Traits::Empty()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  T get() const { return handle_; }
  T* put() {
    reset();
    return &handle_;
  }
  T release() { return std::exchange(handle_, Traits::Empty()); }
  void reset(T handle = Traits::Empty()) {
    if (handle_ != Traits::Empty()) Traits::Close(handle_);
    handle_ = handle;
  }
  explicit operator bool() const { return handle_ != Traits::Empty(); }

 private:
  T handle_ = Traits::Empty();
};

template <typename H, void (*CloseFunction)(H)>
struct NullTraits {
  using Type = H;
  static H Empty() { return nullptr; }
  static void Close(H handle) { CloseFunction(handle); }
};

template <void (*CloseFunction)(HANDLE)>
struct InvalidTraits {
  using Type = HANDLE;
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseFunction(handle); }
};

inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseFind(HANDLE handle) { FindClose(handle); }
inline void FreeCoTaskMemory(void* memory) { CoTaskMemFree(memory); }
inline void CloseService(SC_HANDLE service) { CloseServiceHandle(service); }
inline void FreeLocalMemory(void* memory) { LocalFree(memory); }

using UniqueKey = UniqueHandle<NullTraits<HKEY, CloseKey>>;
using UniqueEvent = UniqueHandle<NullTraits<HANDLE, CloseKernelHandle>>;
using UniqueMutex = UniqueHandle<NullTraits<HANDLE, CloseKernelHandle>>;
using UniqueProcess = UniqueHandle<NullTraits<HANDLE, CloseKernelHandle>>;
using UniqueFile = UniqueHandle<InvalidTraits<CloseKernelHandle>>;
using UniqueFind = UniqueHandle<InvalidTraits<CloseFind>>;
using UniqueCoMemory = UniqueHandle<NullTraits<void*, FreeCoTaskMemory>>;
using UniqueLocalMemory = UniqueHandle<NullTraits<void*, FreeLocalMemory>>;
// The service manager and each service opened through it.
using UniqueService = UniqueHandle<NullTraits<SC_HANDLE, CloseService>>;

// A COM interface pointer that releases its reference.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  I* get() const { return p_; }
  I* operator->() const { return p_; }
  void** put_void() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  I** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_ = nullptr;
};

}  // namespace korvalis::platform::win32
