#pragma once
// One RAII owner for every kind of Win32 resource: a handle type, its invalid value and the
// function that releases it. Each resource kind gets an alias below (or beside its user).

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <utility>

namespace tidvale::win {

template <typename Handle, auto Invalid, auto Release>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ != invalidValue(); }
  explicit operator bool() const { return valid(); }

  // For out-parameters: releases what is held and exposes the slot.
  Handle* put() {
    reset();
    return &handle_;
  }
  Handle release() { return std::exchange(handle_, invalidValue()); }
  void reset(Handle handle = invalidValue()) {
    Handle old = std::exchange(handle_, handle);
    if (old != invalidValue()) Release(old);
  }

 private:
  static Handle invalidValue() { return (Handle)(Invalid); }
  Handle handle_ = invalidValue();
};

namespace detail {
inline void closeHandle(HANDLE h) {
  ::CloseHandle(h);
}
inline void closeKey(HKEY k) {
  ::RegCloseKey(k);
}
inline void closeFind(HANDLE h) {
  ::FindClose(h);
}
inline void freeLibrary(HMODULE m) {
  ::FreeLibrary(m);
}
inline void coTaskMemFree(wchar_t* p) {
  ::CoTaskMemFree(p);
}
inline void localFreeArgv(LPWSTR* argv) {
  ::LocalFree(argv);
}
inline void localFreeText(wchar_t* text) {
  ::LocalFree(text);
}
}  // namespace detail

// CreateFileW and FindFirstFileExW fail with INVALID_HANDLE_VALUE; OpenProcess and most others
// with null.
using UniqueFileHandle = UniqueResource<HANDLE, -1, detail::closeHandle>;
using UniqueHandle = UniqueResource<HANDLE, 0, detail::closeHandle>;
using UniqueFindHandle = UniqueResource<HANDLE, -1, detail::closeFind>;
using UniqueKey = UniqueResource<HKEY, 0, detail::closeKey>;
using UniqueModule = UniqueResource<HMODULE, 0, detail::freeLibrary>;
using UniqueCoTaskString = UniqueResource<wchar_t*, 0, detail::coTaskMemFree>;
using UniqueArgv = UniqueResource<LPWSTR*, 0, detail::localFreeArgv>;
using UniqueLocalString = UniqueResource<wchar_t*, 0, detail::localFreeText>;

// Owner of one COM interface pointer.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  Interface* get() const { return ptr_; }
  Interface* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  Interface** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }

 private:
  Interface* ptr_ = nullptr;
};

// Balances a successful CoInitializeEx on the current thread.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
      : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialised_) ::CoUninitialize();
  }
  bool initialised() const { return initialised_; }

 private:
  bool initialised_;
};

}  // namespace tidvale::win
