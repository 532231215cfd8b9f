// Owners for the system's references and handles: each gives back what it holds when it
// goes out of scope, exactly once. COM references, VARIANTs, BSTRs, exception records, the
// thread's OLE initialisation, windows, GDI objects (fonts, brushes), icons and kernel
// objects.
#pragma once

// The system's headers, with the program's own names kept free of their macros.
#include "window_api.h"

#include <string_view>
#include <utility>
#include <vector>

namespace quillo::win32 {

// One reference to a COM interface, or none.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* object) noexcept {
    ComPtr out;
    out.object_ = object;
    return out;
  }
  // Takes a new reference of its own.
  static ComPtr Share(T* object) noexcept {
    if (object != nullptr) object->AddRef();
    return Adopt(object);
  }
  ComPtr(const ComPtr& other) noexcept : object_(other.object_) {
    if (object_ != nullptr) object_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() noexcept {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  // For a call that delivers a reference: releases the one held, then gives the slot.
  T** Out() noexcept {
    Reset();
    return &object_;
  }

  // The same object as another interface, or an empty pointer.
  template <typename U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> out;
    if (object_ != nullptr &&
        FAILED(object_->QueryInterface(iid, reinterpret_cast<void**>(out.Out())))) {
      out.Reset();
    }
    return out;
  }

 private:
  T* object_ = nullptr;
};

// A VARIANT, cleared when it goes.
class ScopedVariant {
 public:
  ScopedVariant() noexcept { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }

 private:
  VARIANT value_;
};

// A row of VARIANTs, as the arguments of a call, cleared when it goes.
class ScopedVariantArray {
 public:
  explicit ScopedVariantArray(size_t size) : values_(size) {
    for (VARIANT& value : values_) VariantInit(&value);
  }
  ~ScopedVariantArray() {
    for (VARIANT& value : values_) VariantClear(&value);
  }
  ScopedVariantArray(const ScopedVariantArray&) = delete;
  ScopedVariantArray& operator=(const ScopedVariantArray&) = delete;

  VARIANT* data() noexcept { return values_.empty() ? nullptr : values_.data(); }
  VARIANT& operator[](size_t index) noexcept { return values_[index]; }
  size_t size() const noexcept { return values_.size(); }

 private:
  std::vector<VARIANT> values_;
};

// A BSTR, freed when it goes.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(std::u16string_view text)
      : text_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { SysFreeString(text_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const noexcept { return text_; }
  BSTR Detach() noexcept { return std::exchange(text_, nullptr); }

 private:
  BSTR text_ = nullptr;
};

// The exception record IDispatch::Invoke may fill; its texts are freed when it goes.
class ScopedExcepInfo {
 public:
  ScopedExcepInfo() noexcept : info_() {}
  ~ScopedExcepInfo() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  ScopedExcepInfo(const ScopedExcepInfo&) = delete;
  ScopedExcepInfo& operator=(const ScopedExcepInfo&) = delete;

  EXCEPINFO* get() noexcept { return &info_; }

 private:
  EXCEPINFO info_;
};

// COM (or OLE, which includes it) initialised on this thread for the guard's lifetime. An
// initialisation that failed is not undone.
template <HRESULT (*Initialize)(LPVOID), void (*Uninitialize)()>
class ScopedInit {
 public:
  ScopedInit() noexcept : result_(Initialize(nullptr)) {}
  ~ScopedInit() {
    if (SUCCEEDED(result_)) Uninitialize();
  }
  ScopedInit(const ScopedInit&) = delete;
  ScopedInit& operator=(const ScopedInit&) = delete;

 private:
  HRESULT result_;
};
using ScopedOleInit = ScopedInit<OleInitialize, OleUninitialize>;

// A handle of the system, closed by Close when it goes.
template <typename Handle, auto Close>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ~ScopedHandle() { Reset(); }

  void Reset(Handle handle = nullptr) noexcept {
    if (Handle old = std::exchange(handle_, handle)) Close(old);
  }
  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

 private:
  Handle handle_ = nullptr;
};

namespace detail {
inline void CloseGdiObject(HGDIOBJ object) noexcept { DeleteObject(object); }
inline void DestroyLiveWindow(HWND window) noexcept {
  if (IsWindow(window)) DestroyWindow(window);
}
inline void CloseIcon(HICON icon) noexcept { DestroyIcon(icon); }
inline void CloseKernelObject(HANDLE handle) noexcept { CloseHandle(handle); }
}  // namespace detail

// A window destroyed when it goes, unless something destroyed it before.
using ScopedWindow = ScopedHandle<HWND, detail::DestroyLiveWindow>;
using ScopedFont = ScopedHandle<HFONT, detail::CloseGdiObject>;
using ScopedBrush = ScopedHandle<HBRUSH, detail::CloseGdiObject>;
using ScopedIcon = ScopedHandle<HICON, detail::CloseIcon>;
// An event, thread or other kernel object (not INVALID_HANDLE_VALUE, which files use).
using ScopedKernelHandle = ScopedHandle<HANDLE, detail::CloseKernelObject>;

}  // namespace quillo::win32
