// The Windows build writes the package through msi.dll.
#include "qvoc/msi_package.h"

#include <windows.h>

#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

Result<void> import_table(MSIHANDLE database, const PackageTable& table, const fs::path& work_folder)
{
    std::string file_name = table.name + ".idt";
    {
        std::ofstream out(work_folder / file_name, std::ios::binary | std::ios::trunc);
        out << idt_text(table);
        if (!out)
            return make_error(ErrorCode::io, "Cannot write " + file_name);
    }
    std::wstring folder = work_folder.wstring();
    std::wstring file = fs::path(file_name).wstring();
    if (UINT code = MsiDatabaseImportW(database, folder.c_str(), file.c_str()); code != ERROR_SUCCESS)
        return installer_error("MsiDatabaseImport of " + file_name, code);
    return {};
}

std::vector<std::string> split_tabs(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find('\t', start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// The table is made by importing its text archive; rows with texts go in
// through records, which take UTF-16, because msi.dll reads a text archive
// in the ANSI code page of the machine that builds the setup. The Binary
// row, whose stream only an import reads from a file, is plain ASCII.
Result<void> add_table(MSIHANDLE database, const PackageTable& table, int code_page, const fs::path& work_folder)
{
    TRY(check_idt_fields(table));
    if (table.name == "Binary")
        return import_table(database, table, work_folder);
    PackageTable header = table;
    header.rows.clear();
    TRY(import_table(database, header, work_folder));
    if (table.rows.empty())
        return {};

    std::vector<std::string> columns = split_tabs(table.columns);
    std::vector<std::string> types = split_tabs(table.types);
    std::wstring sql = L"INSERT INTO `" + TRY(to_wide(table.name, code_page)) + L"` (";
    std::wstring values;
    for (std::size_t index = 0; index < columns.size(); ++index) {
        sql += (index ? L", `" : L"`") + TRY(to_wide(columns[index], code_page)) + L"`";
        values += index ? L", ?" : L"?";
    }
    sql += L") VALUES (" + values + L")";
    for (const std::vector<std::string>& row : table.rows) {
        UniqueMsiHandle record;
        *record.put() = MsiCreateRecord(static_cast<UINT>(columns.size()));
        if (!record.get())
            return installer_error("MsiCreateRecord", ERROR_OUTOFMEMORY);
        for (std::size_t index = 0; index < columns.size() && index < row.size(); ++index) {
            const std::string& field = row[index];
            if (field.empty())
                continue; // a null
            UINT column = static_cast<UINT>(index + 1);
            if (!types[index].empty() && (types[index][0] == 'i' || types[index][0] == 'I'))
                MsiRecordSetInteger(record.get(), column, std::stoi(field));
            else
                MsiRecordSetStringW(record.get(), column, TRY(to_wide(field, code_page)).c_str());
        }
        TRY(execute(database, sql.c_str(), record.get()));
    }
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

    TRY(stage_binary_data(info, work_folder));
    for (const PackageTable& table : package_tables(info.rows))
        TRY(add_table(database.get(), table, info.code_page, work_folder));

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
