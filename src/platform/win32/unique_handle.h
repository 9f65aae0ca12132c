// Move-only owners for Win32 handles, one template with a closer per kind.
#pragma once

#include <windows.h>

#include <utility>

namespace quillon::win32 {

template <typename Handle, auto Close, Handle Invalid = Handle{}>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : m_handle(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != Invalid; }

    Handle release() noexcept { return std::exchange(m_handle, Invalid); }
    void reset(Handle handle = Invalid) noexcept
    {
        Handle old = std::exchange(m_handle, handle);
        if (old != Invalid)
            Close(old);
    }
    // For out-parameters: frees the current handle and exposes the slot.
    Handle* put() noexcept
    {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Invalid;
};

namespace detail {
inline void close_handle(HANDLE h) noexcept
{
    CloseHandle(h);
}
inline void close_key(HKEY h) noexcept
{
    RegCloseKey(h);
}
inline void free_library(HMODULE h) noexcept
{
    FreeLibrary(h);
}
inline void close_service_handle(SC_HANDLE h) noexcept
{
    CloseServiceHandle(h);
}
} // namespace detail

using UniqueHandle = UniqueResource<HANDLE, detail::close_handle>;
struct FileCloser {
    void operator()(HANDLE h) const noexcept
    {
        if (h != INVALID_HANDLE_VALUE && h != nullptr)
            CloseHandle(h);
    }
};
struct FindCloser {
    void operator()(HANDLE h) const noexcept
    {
        if (h != INVALID_HANDLE_VALUE && h != nullptr)
            FindClose(h);
    }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, not null.
template <typename Closer>
class UniqueInvalidable {
public:
    UniqueInvalidable() noexcept = default;
    explicit UniqueInvalidable(HANDLE handle) noexcept : m_handle(handle) {}
    UniqueInvalidable(const UniqueInvalidable&) = delete;
    UniqueInvalidable& operator=(const UniqueInvalidable&) = delete;
    UniqueInvalidable(UniqueInvalidable&& other) noexcept : m_handle(other.release()) {}
    UniqueInvalidable& operator=(UniqueInvalidable&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueInvalidable() { reset(); }

    HANDLE get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE release() noexcept { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept { Closer{}(std::exchange(m_handle, handle)); }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

using UniqueFile = UniqueInvalidable<FileCloser>;
using UniqueFind = UniqueInvalidable<FindCloser>;
using UniqueHkey = UniqueResource<HKEY, detail::close_key>;
using UniqueHmodule = UniqueResource<HMODULE, detail::free_library>;
using UniqueScHandle = UniqueResource<SC_HANDLE, detail::close_service_handle>;

} // namespace quillon::win32
