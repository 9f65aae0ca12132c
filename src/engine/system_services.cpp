#include "engine/system_services.h"

#include "engine/support_folder.h"
#include "msi/installer_api.h"
#include "platform/win32/windows_version.h"

namespace quillon {

std::string WindowsSystemServices::resume_program() const
{
    return m_location.package_path.empty() ? m_location.exe_file : m_location.package_path;
}

bool WindowsSystemServices::file_exists(const std::string& path)
{
    return quillon::file_exists(path);
}

Result<bool> WindowsSystemServices::product_installed(const std::string& product_code)
{
    return TRY(msi::QueryProductState(product_code)) == msi::product_installed;
}

bool WindowsSystemServices::windows_7_or_later() const
{
    return win32::windows_version_at_least(6, 1);
}

} // namespace quillon
