#include "media/download/light_download.h"

#include "base/scope_exit.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <urlmon.h>
#include <wininet.h>

#include <atomic>
#include <filesystem>

namespace quillon::download {

namespace {

constexpr const wchar_t* internet_settings = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const wchar_t* receive_timeout_value = L"ReceiveTimeout";

// The receive time-out written for one download and put back afterwards: the
// value that was there before, or none when there was none (a value left
// behind would shorten every later download of the user's programs).
class ReceiveTimeoutSetting {
public:
    explicit ReceiveTimeoutSetting(int seconds)
    {
        if (seconds == 0)
            return;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, internet_settings, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, m_key.put(), nullptr) != ERROR_SUCCESS)
            return;
        DWORD previous = 0;
        DWORD size = sizeof previous;
        DWORD type = 0;
        if (RegQueryValueExW(m_key.get(), receive_timeout_value, nullptr, &type, reinterpret_cast<BYTE*>(&previous),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            m_previous = previous;
        DWORD milliseconds = static_cast<DWORD>(seconds) * 1000;
        m_written = RegSetValueExW(m_key.get(), receive_timeout_value, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&milliseconds), sizeof milliseconds) == ERROR_SUCCESS;
    }
    ~ReceiveTimeoutSetting()
    {
        if (!m_written)
            return;
        if (m_previous)
            RegSetValueExW(m_key.get(), receive_timeout_value, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&*m_previous), sizeof(DWORD));
        else
            RegDeleteValueW(m_key.get(), receive_timeout_value);
    }
    ReceiveTimeoutSetting(const ReceiveTimeoutSetting&) = delete;
    ReceiveTimeoutSetting& operator=(const ReceiveTimeoutSetting&) = delete;

private:
    win32::UniqueHkey m_key;
    std::optional<DWORD> m_previous;
    bool m_written = false;
};

// The binding status callback: progress to the caller, a cancel as E_ABORT.
// It also hears the HTTP status: urlmon stores an error page (403, 404) in
// the cache like any document and reports success.
class BindCallback final : public IBindStatusCallback, public IHttpNegotiate {
public:
    explicit BindCallback(const LightDownload& download) : m_download(download) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, IID_IHttpNegotiate)) {
            *object = static_cast<IHttpNegotiate*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional_headers) override
    {
        if (additional_headers != nullptr)
            *additional_headers = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* additional_headers) override
    {
        if (additional_headers != nullptr)
            *additional_headers = nullptr;
        m_status = code;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    // Lives on the caller's stack: the count only keeps the protocol.
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status, LPCWSTR text) override
    {
        if (maximum != 0)
            m_announced = maximum;
        std::string shown;
        if (status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA) {
            // urlmon may report every few kilobytes: the data reports are paced.
            if (status == BINDSTATUS_DOWNLOADINGDATA && !m_pace.due(GetTickCount64(), progress, maximum))
                return S_OK;
            m_percentage = Percentage(progress, maximum, m_percentage);
            shown = ProgressText(m_download.texts, progress, maximum, m_percentage);
        } else {
            std::string extra = text != nullptr ? win32::to_ansi(text) : std::string();
            if (status == BINDSTATUS_CACHEFILENAMEAVAILABLE)
                m_cache_file = extra;
            m_percentage = Percentage(progress, maximum, m_percentage);
            shown = StatusText(m_download.texts, static_cast<int>(status));
            shown = shown.empty() ? extra : extra.empty() ? shown : shown + " " + extra;
        }
        if (m_download.progress && !m_download.progress(m_percentage, shown)) {
            m_cancelled = true;
            return E_ABORT;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

    bool cancelled() const { return m_cancelled; }
    std::optional<std::uint64_t> announced() const { return m_announced; }
    // The HTTP status of the answer; 0 when the server's answer was not HTTP or not heard.
    DWORD status() const { return m_status; }

private:
    const LightDownload& m_download;
    std::atomic<ULONG> m_references{1};
    std::string m_cache_file;
    std::optional<std::uint64_t> m_announced;
    int m_percentage = 0;
    ReportPace m_pace;
    bool m_cancelled = false;
    DWORD m_status = 0;
};

// Credentials set process-wide for one download, cleared again afterwards.
class ProcessCredentials {
public:
    using SetOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);

    Result<void> set(const Credentials& credentials)
    {
        m_set = win32::proc<SetOption>(win32::kept_system_library(L"wininet.dll"), "InternetSetOptionA");
        if (m_set == nullptr)
            return make_error(ErrorCode::unsupported, "wininet.dll with InternetSetOptionA cannot be had");
        std::string user = credentials.user;
        std::string password = credentials.password;
        // Windows takes the options without a handle; Wine refuses them (docs/wine.md).
        if (!m_set(nullptr, INTERNET_OPTION_USERNAME, user.data(), static_cast<DWORD>(user.size())) ||
            !m_set(nullptr, INTERNET_OPTION_PASSWORD, password.data(), static_cast<DWORD>(password.size())))
            return make_error(ErrorCode::unsupported, "The system refused the credentials of the location");
        m_set_done = true;
        return {};
    }
    ~ProcessCredentials()
    {
        if (!m_set_done)
            return;
        char empty[] = "";
        m_set(nullptr, INTERNET_OPTION_USERNAME, empty, 0);
        m_set(nullptr, INTERNET_OPTION_PASSWORD, empty, 0);
    }

private:
    SetOption m_set = nullptr;
    bool m_set_done = false;
};

} // namespace

// urlmon and wininet stay loaded for the process once loaded: their worker
// threads and timers outlive a download, and code unloaded under them crashes.
bool LightTransportAvailable()
{
    HMODULE urlmon = win32::kept_system_library(L"urlmon.dll");
    return urlmon != nullptr && win32::proc<FARPROC>(urlmon, "URLDownloadToCacheFileA") != nullptr &&
           win32::proc<FARPROC>(urlmon, "URLDownloadToFileA") != nullptr;
}

Result<void> DownloadWithUrlmon(const LightDownload& download, std::string* cache_file_out)
{
    using DownloadToCacheFile = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPSTR, DWORD, DWORD, LPBINDSTATUSCALLBACK);
    if (!LightTransportAvailable())
        return make_error(ErrorCode::unsupported, "urlmon.dll with its download functions cannot be had");
    auto to_cache =
        win32::proc<DownloadToCacheFile>(win32::kept_system_library(L"urlmon.dll"), "URLDownloadToCacheFileA");

    std::string location = download.location;
    ProcessCredentials credentials;
    if (std::optional<Credentials> split = SplitCredentials(download.location)) {
        TRY(credentials.set(*split));
        location = split->location;
    }

    ReceiveTimeoutSetting timeout(download.timeout_seconds);
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ScopeExit end_com([com] {
        if (SUCCEEDED(com))
            CoUninitialize();
    });
    UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    ScopeExit restore_mode([previous_mode] { SetErrorMode(previous_mode); });

    BindCallback callback(download);
    char cache_file[MAX_PATH] = {};
    HRESULT result = to_cache(nullptr, location.c_str(), cache_file, MAX_PATH, 0, &callback);
    if (cache_file_out != nullptr)
        *cache_file_out = cache_file;
    if (callback.cancelled())
        return make_error(ErrorCode::cancelled, "The download was stopped");
    if (FAILED(result))
        return make_error(ErrorCode::win32, "The download of " + location + " failed",
                          static_cast<std::uint32_t>(result));
    if (callback.status() >= 400)
        return make_error(ErrorCode::not_found,
                          "The server answered " + std::to_string(callback.status()) + " for " + location,
                          callback.status());

    // The cache file, checked against what was announced (urlmon may call a broken transfer a success).
    std::wstring cached = win32::to_wide(cache_file);
    std::error_code missing;
    std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(cached), missing);
    if (missing || !IsComplete(size, callback.announced()))
        return make_error(ErrorCode::corrupt, "The download of " + location + " is incomplete");
    std::wstring target = win32::to_wide(download.target);
    if (_wcsicmp(cached.c_str(), target.c_str()) != 0 && !CopyFileW(cached.c_str(), target.c_str(), FALSE))
        return make_error(ErrorCode::io, "Cannot copy the download to " + download.target, GetLastError());
    return {};
}

} // namespace quillon::download
