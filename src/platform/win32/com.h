// Small owners for COM objects and values: interface pointers, BSTRs,
// VARIANTs and the thread's apartment.
#pragma once

#include "base/error.h"
#include "platform/win32/wide.h"

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace quillon::win32 {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_ptr, nullptr));
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }
    void reset(T* ptr = nullptr) noexcept
    {
        T* old = std::exchange(m_ptr, ptr);
        if (old != nullptr)
            old->Release();
    }
    // For out-parameters: releases the current object and exposes the slot.
    T** put() noexcept
    {
        reset();
        return &m_ptr;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* m_ptr = nullptr;
};

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) : m_value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
        if (m_value == nullptr)
            throw std::bad_alloc();
    }
    // From the engine's 8-bit text.
    static Bstr from_ansi(std::string_view text) { return Bstr(to_wide(text)); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_value(std::exchange(other.m_value, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) {
            SysFreeString(m_value);
            m_value = std::exchange(other.m_value, nullptr);
        }
        return *this;
    }
    ~Bstr() { SysFreeString(m_value); }

    BSTR get() const noexcept { return m_value; }
    BSTR* put() noexcept
    {
        SysFreeString(std::exchange(m_value, nullptr));
        return &m_value;
    }
    std::string ansi() const
    {
        return m_value == nullptr ? std::string() : to_ansi(std::wstring_view(m_value, SysStringLen(m_value)));
    }

private:
    BSTR m_value = nullptr;
};

class Variant {
public:
    Variant() noexcept { VariantInit(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&m_value); }

    static Variant from_index(std::size_t index)
    {
        Variant variant;
        variant.m_value.vt = VT_I4;
        variant.m_value.lVal = static_cast<LONG>(index);
        return variant;
    }
    static Variant from_text(std::wstring_view text)
    {
        Variant variant;
        variant.m_value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (variant.m_value.bstrVal == nullptr)
            throw std::bad_alloc();
        variant.m_value.vt = VT_BSTR;
        return variant;
    }

    VARIANT& get() noexcept { return m_value; }
    VARIANT* put() noexcept
    {
        VariantClear(&m_value);
        return &m_value;
    }

private:
    Variant(Variant&& other) noexcept : m_value(other.m_value) { VariantInit(&other.m_value); }

    VARIANT m_value;
};

// Joins the thread's apartment for one exported call; a thread already in
// the other kind of apartment is used as it is.
class ComApartment {
public:
    ComApartment() noexcept : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    bool usable() const noexcept { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

inline std::unexpected<Error> com_error(HRESULT result, std::string what)
{
    return make_error(ErrorCode::win32, std::move(what), static_cast<std::uint32_t>(result));
}

} // namespace quillon::win32
