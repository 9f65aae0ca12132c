#include "engine/startup_trace.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillon {

void StartupTrace::line(std::string_view text)
{
    if (m_log_file.empty())
        return;
    std::wstring path = win32::to_wide(m_log_file);
    DWORD disposition = m_created ? OPEN_ALWAYS : CREATE_ALWAYS;
    win32::UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return; // a log that cannot be written must not stop the setup
    m_created = true;
    std::wstring wide = win32::to_wide(text) + L"\r\n";
    DWORD written = 0;
    WriteFile(file.get(), wide.data(), static_cast<DWORD>(wide.size() * sizeof(wchar_t)), &written, nullptr);
}

} // namespace quillon
