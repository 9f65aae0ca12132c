// The Windows build writes the package through msi.dll.
#include "qvoc/msi_package.h"

#include <windows.h>

#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>

#include <fstream>
#include <utility>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

class UniqueMsiHandle {
public:
    UniqueMsiHandle() noexcept = default;
    UniqueMsiHandle(const UniqueMsiHandle&) = delete;
    UniqueMsiHandle& operator=(const UniqueMsiHandle&) = delete;
    UniqueMsiHandle(UniqueMsiHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, 0)) {}
    ~UniqueMsiHandle()
    {
        if (m_handle)
            MsiCloseHandle(m_handle);
    }

    MSIHANDLE get() const noexcept { return m_handle; }
    MSIHANDLE* put() noexcept
    {
        if (m_handle)
            MsiCloseHandle(std::exchange(m_handle, 0));
        return &m_handle;
    }

private:
    MSIHANDLE m_handle = 0;
};

std::unexpected<Error> installer_error(const std::string& what, UINT code)
{
    return std::unexpected(Error{ErrorCode::installer, code, what + " failed"});
}

// The texts are in the project's code page, which need not be the ANSI code
// page of the machine that builds the setup.
Result<std::wstring> to_wide(const std::string& text, int code_page)
{
    if (text.empty())
        return std::wstring();
    int length =
        MultiByteToWideChar(static_cast<UINT>(code_page), 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return make_error(ErrorCode::win32,
                          "\"" + text + "\" is not valid text in code page " + std::to_string(code_page),
                          GetLastError());
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(static_cast<UINT>(code_page), 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

Result<void> execute(MSIHANDLE database, const wchar_t* sql, MSIHANDLE record = 0)
{
    UniqueMsiHandle view;
    if (UINT code = MsiDatabaseOpenViewW(database, sql, view.put()); code != ERROR_SUCCESS)
        return installer_error("MsiDatabaseOpenView", code);
    if (UINT code = MsiViewExecute(view.get(), record); code != ERROR_SUCCESS)
        return installer_error("MsiViewExecute", code);
    MsiViewClose(view.get());
    return {};
}

Result<void> set_string(MSIHANDLE summary, UINT pid, const std::wstring& value)
{
    if (UINT code = MsiSummaryInfoSetPropertyW(summary, pid, VT_LPSTR, 0, nullptr, value.c_str());
        code != ERROR_SUCCESS)
        return installer_error("MsiSummaryInfoSetProperty " + std::to_string(pid), code);
    return {};
}

Result<void> set_integer(MSIHANDLE summary, UINT pid, INT value)
{
    if (UINT code = MsiSummaryInfoSetPropertyW(summary, pid, VT_I4, value, nullptr, nullptr); code != ERROR_SUCCESS)
        return installer_error("MsiSummaryInfoSetProperty " + std::to_string(pid), code);
    return {};
}

// The only way to set a database's code page is importing the special
// _ForceCodepage table.
Result<void> force_code_page(MSIHANDLE database, int code_page, const fs::path& work_folder)
{
    {
        std::ofstream out(work_folder / "_ForceCodepage.idt", std::ios::binary | std::ios::trunc);
        out << "\r\n\r\n" << code_page << "\t_ForceCodepage\r\n";
        if (!out)
            return make_error(ErrorCode::io, "Cannot write the code page table");
    }
    std::wstring folder = work_folder.wstring();
    if (UINT code = MsiDatabaseImportW(database, folder.c_str(), L"_ForceCodepage.idt"); code != ERROR_SUCCESS)
        return installer_error("MsiDatabaseImport of the code page", code);
    return {};
}

} // namespace

Result<void> create_msi_package(const fs::path& path, const MsiPackageInfo& info, const fs::path& work_folder)
{
    std::error_code ignored;
    fs::remove(path, ignored);

    UniqueMsiHandle database;
    std::wstring wide_path = path.wstring();
    if (UINT code = MsiOpenDatabaseW(wide_path.c_str(), MSIDBOPEN_CREATE, database.put()); code != ERROR_SUCCESS)
        return installer_error("MsiOpenDatabase", code);
    TRY(force_code_page(database.get(), info.code_page, work_folder));

    TRY(execute(database.get(), L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
                                L"LOCALIZABLE PRIMARY KEY `Property`)"));
    for (const auto& [name, value] : package_properties(info)) {
        UniqueMsiHandle record;
        *record.put() = MsiCreateRecord(2);
        if (!record.get())
            return installer_error("MsiCreateRecord", ERROR_OUTOFMEMORY);
        std::wstring wide_name = TRY(to_wide(name, info.code_page));
        std::wstring wide_value = TRY(to_wide(value, info.code_page));
        MsiRecordSetStringW(record.get(), 1, wide_name.c_str());
        MsiRecordSetStringW(record.get(), 2, wide_value.c_str());
        TRY(execute(database.get(), L"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", record.get()));
    }

    for (const PackageTable& table : package_tables()) {
        {
            std::ofstream out(work_folder / table.file_name, std::ios::binary | std::ios::trunc);
            out << table.text;
            if (!out)
                return make_error(ErrorCode::io, "Cannot write " + table.file_name);
        }
        std::wstring folder = work_folder.wstring();
        std::wstring file = fs::path(table.file_name).wstring();
        if (UINT code = MsiDatabaseImportW(database.get(), folder.c_str(), file.c_str()); code != ERROR_SUCCESS)
            return installer_error("MsiDatabaseImport of " + table.file_name, code);
    }

    {
        UniqueMsiHandle summary;
        if (UINT code = MsiGetSummaryInformationW(database.get(), nullptr, 20, summary.put()); code != ERROR_SUCCESS)
            return installer_error("MsiGetSummaryInformation", code);
        TRY(set_string(summary.get(), PID_TITLE, L"Installation Database"));
        std::wstring subject = TRY(to_wide(info.product_name, info.code_page));
        std::wstring author = TRY(to_wide(info.manufacturer, info.code_page));
        std::wstring template_text = TRY(to_wide(package_template(info), info.code_page));
        std::wstring package_code = TRY(to_wide(info.package_code, info.code_page));
        TRY(set_string(summary.get(), PID_SUBJECT, subject));
        TRY(set_string(summary.get(), PID_AUTHOR, author));
        TRY(set_string(summary.get(), PID_KEYWORDS, L"Installer"));
        TRY(set_string(summary.get(), PID_TEMPLATE, template_text));
        TRY(set_string(summary.get(), PID_REVNUMBER, package_code));
        TRY(set_string(summary.get(), PID_APPNAME, L"qvoc"));
        TRY(set_integer(summary.get(), PID_PAGECOUNT, package_page_count));
        TRY(set_integer(summary.get(), PID_WORDCOUNT, package_word_count));
        if (UINT code = MsiSummaryInfoPersist(summary.get()); code != ERROR_SUCCESS)
            return installer_error("MsiSummaryInfoPersist", code);
    }
    if (UINT code = MsiDatabaseCommit(database.get()); code != ERROR_SUCCESS)
        return installer_error("MsiDatabaseCommit", code);
    return {};
}

} // namespace quillon::qvoc
