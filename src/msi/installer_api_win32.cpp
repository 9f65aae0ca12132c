#include "msi/installer_api.h"

#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <wtypes.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace quillon::msi {

namespace {

constexpr const wchar_t* installer_library = L"msi.dll";
constexpr DWORD record_buffer = 10240;
constexpr DWORD product_buffer = 260;

// A function name as a template argument, so that each function has its own slot.
template <std::size_t N>
struct Name {
    char text[N];
    constexpr Name(const char (&name)[N]) { std::copy_n(name, N, text); }
};

// The function of msi.dll by its declared type; only its type is taken from
// the header (decltype does not reference it), so nothing is imported.
template <typename Function, Name name>
Result<Function> api()
{
    static std::atomic<void*> slot = nullptr;
    void* address = slot.load(std::memory_order_acquire);
    if (address == nullptr) {
        address = TRY(detail::find_function(installer_library, name.text));
        slot.store(address, std::memory_order_release);
    }
    return reinterpret_cast<Function>(address);
}

std::unexpected<Error> failed(const char* function, UINT code)
{
    return std::unexpected(Error{ErrorCode::installer, code, std::string(function) + " failed"});
}

} // namespace

namespace detail {

Result<void*> find_function(const wchar_t* library, const char* function)
{
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr)
        module = win32::kept_system_library(library);
    if (module == nullptr)
        return make_error(ErrorCode::not_found, "Library not found: " + win32::to_ansi(library));
    void* address = win32::proc<void*>(module, function);
    if (address == nullptr)
        return make_error(ErrorCode::not_found,
                          "Function not found: " + win32::to_ansi(library) + "." + std::string(function));
    return address;
}

void close_handle(HandleValue handle) noexcept
{
    if (auto close = api<decltype(&::MsiCloseHandle), "MsiCloseHandle">())
        (*close)(handle);
}

} // namespace detail

Result<MsiHandle> OpenDatabase(const std::string& package, bool for_edits)
{
    auto open = TRY((api<decltype(&::MsiOpenDatabaseA), "MsiOpenDatabaseA">()));
    // The persist argument carries the mode: 2 direct (edits written at once), 0 read-only.
    LPCSTR mode = reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(for_edits ? 2 : 0));
    MSIHANDLE handle = 0;
    if (UINT code = open(package.c_str(), mode, &handle); code != ERROR_SUCCESS)
        return failed("MsiOpenDatabaseA", code);
    return MsiHandle(handle);
}

Result<MsiHandle> OpenView(const MsiHandle& database, const std::string& sql)
{
    auto open = TRY((api<decltype(&::MsiDatabaseOpenViewA), "MsiDatabaseOpenViewA">()));
    MSIHANDLE handle = 0;
    if (UINT code = open(database.get(), sql.c_str(), &handle); code != ERROR_SUCCESS)
        return failed("MsiDatabaseOpenViewA", code);
    return MsiHandle(handle);
}

Result<void> Execute(const MsiHandle& view)
{
    auto execute = TRY((api<decltype(&::MsiViewExecute), "MsiViewExecute">()));
    if (UINT code = execute(view.get(), 0); code != ERROR_SUCCESS)
        return failed("MsiViewExecute", code);
    return {};
}

Result<std::optional<MsiHandle>> Fetch(const MsiHandle& view)
{
    auto fetch = TRY((api<decltype(&::MsiViewFetch), "MsiViewFetch">()));
    MSIHANDLE record = 0;
    UINT code = fetch(view.get(), &record);
    if (code == no_more_items)
        return std::optional<MsiHandle>();
    if (code != ERROR_SUCCESS)
        return failed("MsiViewFetch", code);
    return std::optional<MsiHandle>(MsiHandle(record));
}

Result<void> UpdateRecord(const MsiHandle& view, const MsiHandle& record)
{
    auto modify = TRY((api<decltype(&::MsiViewModify), "MsiViewModify">()));
    if (UINT code = modify(view.get(), MSIMODIFY_UPDATE, record.get()); code != ERROR_SUCCESS)
        return failed("MsiViewModify", code);
    return {};
}

Result<void> CloseView(const MsiHandle& view)
{
    auto close = TRY((api<decltype(&::MsiViewClose), "MsiViewClose">()));
    if (UINT code = close(view.get()); code != ERROR_SUCCESS)
        return failed("MsiViewClose", code);
    return {};
}

Result<void> Commit(const MsiHandle& database)
{
    auto commit = TRY((api<decltype(&::MsiDatabaseCommit), "MsiDatabaseCommit">()));
    if (UINT code = commit(database.get()); code != ERROR_SUCCESS)
        return failed("MsiDatabaseCommit", code);
    return {};
}

Result<std::string> RecordString(const MsiHandle& record, std::uint32_t field)
{
    auto get = TRY((api<decltype(&::MsiRecordGetStringA), "MsiRecordGetStringA">()));
    // A value longer than the usual buffer is read whole with a buffer of its size.
    std::vector<char> buffer(record_buffer, '\0');
    DWORD size = record_buffer;
    UINT code = get(record.get(), field, buffer.data(), &size);
    if (code == ERROR_MORE_DATA) {
        buffer.assign(size + 1, '\0');
        size += 1;
        code = get(record.get(), field, buffer.data(), &size);
    }
    if (code != ERROR_SUCCESS)
        return failed("MsiRecordGetStringA", code);
    return std::string(buffer.data(), size);
}

int RecordInteger(const MsiHandle& record, std::uint32_t field)
{
    auto get = api<decltype(&::MsiRecordGetInteger), "MsiRecordGetInteger">();
    return get ? (*get)(record.get(), field) : MSI_NULL_INTEGER;
}

Result<void> SetRecordString(const MsiHandle& record, std::uint32_t field, const std::string& value)
{
    auto set = TRY((api<decltype(&::MsiRecordSetStringA), "MsiRecordSetStringA">()));
    if (UINT code = set(record.get(), field, value.c_str()); code != ERROR_SUCCESS)
        return failed("MsiRecordSetStringA", code);
    return {};
}

Result<void> SetRecordInteger(const MsiHandle& record, std::uint32_t field, int value)
{
    auto set = TRY((api<decltype(&::MsiRecordSetInteger), "MsiRecordSetInteger">()));
    if (UINT code = set(record.get(), field, value); code != ERROR_SUCCESS)
        return failed("MsiRecordSetInteger", code);
    return {};
}

Result<MsiHandle> SummaryInformation(const MsiHandle& database, std::uint32_t update_count)
{
    auto get = TRY((api<decltype(&::MsiGetSummaryInformationA), "MsiGetSummaryInformationA">()));
    MSIHANDLE handle = 0;
    if (UINT code = get(database.get(), nullptr, update_count, &handle); code != ERROR_SUCCESS)
        return failed("MsiGetSummaryInformationA", code);
    return MsiHandle(handle);
}

Result<std::string> SummaryString(const MsiHandle& summary, std::uint32_t property)
{
    auto get = TRY((api<decltype(&::MsiSummaryInfoGetPropertyA), "MsiSummaryInfoGetPropertyA">()));
    std::vector<char> buffer(record_buffer, '\0');
    DWORD size = record_buffer;
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    UINT code = get(summary.get(), property, &type, &number, &time, buffer.data(), &size);
    if (code == ERROR_MORE_DATA) {
        buffer.assign(size + 1, '\0');
        size += 1;
        code = get(summary.get(), property, &type, &number, &time, buffer.data(), &size);
    }
    if (code != ERROR_SUCCESS)
        return failed("MsiSummaryInfoGetPropertyA", code);
    return type == VT_LPSTR ? std::string(buffer.data(), size) : std::string();
}

Result<int> SummaryInteger(const MsiHandle& summary, std::uint32_t property)
{
    auto get = TRY((api<decltype(&::MsiSummaryInfoGetPropertyA), "MsiSummaryInfoGetPropertyA">()));
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    DWORD size = 0;
    if (UINT code = get(summary.get(), property, &type, &number, &time, nullptr, &size); code != ERROR_SUCCESS)
        return failed("MsiSummaryInfoGetPropertyA", code);
    return number;
}

Result<void> SetSummaryString(const MsiHandle& summary, std::uint32_t property, const std::string& value)
{
    auto set = TRY((api<decltype(&::MsiSummaryInfoSetPropertyA), "MsiSummaryInfoSetPropertyA">()));
    if (UINT code = set(summary.get(), property, VT_LPSTR, 0, nullptr, value.c_str()); code != ERROR_SUCCESS)
        return failed("MsiSummaryInfoSetPropertyA", code);
    return {};
}

Result<void> SetSummaryInteger(const MsiHandle& summary, std::uint32_t property, int value)
{
    auto set = TRY((api<decltype(&::MsiSummaryInfoSetPropertyA), "MsiSummaryInfoSetPropertyA">()));
    if (UINT code = set(summary.get(), property, VT_I4, value, nullptr, nullptr); code != ERROR_SUCCESS)
        return failed("MsiSummaryInfoSetPropertyA", code);
    return {};
}

Result<void> PersistSummary(const MsiHandle& summary)
{
    auto persist = TRY((api<decltype(&::MsiSummaryInfoPersist), "MsiSummaryInfoPersist">()));
    if (UINT code = persist(summary.get()); code != ERROR_SUCCESS)
        return failed("MsiSummaryInfoPersist", code);
    return {};
}

Result<int> QueryProductState(const std::string& product_code)
{
    auto query = TRY((api<decltype(&::MsiQueryProductStateA), "MsiQueryProductStateA">()));
    return static_cast<int>(query(product_code.c_str()));
}

Result<std::string> ProductInfo(const std::string& product_code, const std::string& property)
{
    auto get = TRY((api<decltype(&::MsiGetProductInfoA), "MsiGetProductInfoA">()));
    char buffer[product_buffer] = "";
    DWORD size = product_buffer;
    if (UINT code = get(product_code.c_str(), property.c_str(), buffer, &size); code != ERROR_SUCCESS)
        return failed("MsiGetProductInfoA", code);
    return std::string(buffer, std::min<DWORD>(size, product_buffer - 1));
}

Result<void> SetInternalUI(std::uint32_t level)
{
    auto set = TRY((api<decltype(&::MsiSetInternalUI), "MsiSetInternalUI">()));
    set(static_cast<INSTALLUILEVEL>(level), nullptr);
    return {};
}

Result<void> SetExternalUI(ExternalHandler handler, std::uint32_t filter, void* context)
{
    auto set = TRY((api<decltype(&::MsiSetExternalUIA), "MsiSetExternalUIA">()));
    set(reinterpret_cast<INSTALLUI_HANDLERA>(handler), filter, context);
    return {};
}

Result<void> ClearExternalUI()
{
    auto set = TRY((api<decltype(&::MsiSetExternalUIA), "MsiSetExternalUIA">()));
    set(nullptr, 0, nullptr);
    return {};
}

Result<void> EnableLog(std::uint32_t mode, const std::string& log_path, std::uint32_t attributes)
{
    auto enable = TRY((api<decltype(&::MsiEnableLogA), "MsiEnableLogA">()));
    if (UINT code = enable(mode, log_path.c_str(), attributes); code != ERROR_SUCCESS)
        return failed("MsiEnableLogA", code);
    return {};
}

Result<std::uint32_t> InstallProduct(const std::string& package, const std::string& command_line)
{
    auto install = TRY((api<decltype(&::MsiInstallProductA), "MsiInstallProductA">()));
    return static_cast<std::uint32_t>(install(package.c_str(), command_line.c_str()));
}

Result<std::uint32_t> ApplyPatch(const std::string& patch, const std::string& command_line)
{
    auto apply = TRY((api<decltype(&::MsiApplyPatchA), "MsiApplyPatchA">()));
    return static_cast<std::uint32_t>(apply(patch.c_str(), nullptr, INSTALLTYPE_DEFAULT, command_line.c_str()));
}

Result<std::uint32_t> RemoveProduct(const std::string& product_code, const std::string& command_line)
{
    auto configure = TRY((api<decltype(&::MsiConfigureProductExA), "MsiConfigureProductExA">()));
    return static_cast<std::uint32_t>(
        configure(product_code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT, command_line.c_str()));
}

Result<void> AddSource(const std::string& product_code, const std::string& user, const std::string& folder)
{
    auto add = TRY((api<decltype(&::MsiSourceListAddSourceA), "MsiSourceListAddSourceA">()));
    if (UINT code = add(product_code.c_str(), user.empty() ? nullptr : user.c_str(), 0, folder.c_str());
        code != ERROR_SUCCESS)
        return failed("MsiSourceListAddSourceA", code);
    return {};
}

Result<MsiHandle> OpenPackage(const std::string& package)
{
    auto open = TRY((api<decltype(&::MsiOpenPackageA), "MsiOpenPackageA">()));
    MSIHANDLE handle = 0;
    if (UINT code = open(package.c_str(), &handle); code != ERROR_SUCCESS)
        return failed("MsiOpenPackageA", code);
    return MsiHandle(handle);
}

Result<void> SetProperty(const MsiHandle& session, const std::string& name, const std::string& value)
{
    auto set = TRY((api<decltype(&::MsiSetPropertyA), "MsiSetPropertyA">()));
    if (UINT code = set(session.get(), name.c_str(), value.c_str()); code != ERROR_SUCCESS)
        return failed("MsiSetPropertyA", code);
    return {};
}

Result<std::uint32_t> DoAction(const MsiHandle& session, const std::string& action)
{
    auto run = TRY((api<decltype(&::MsiDoActionA), "MsiDoActionA">()));
    return static_cast<std::uint32_t>(run(session.get(), action.c_str()));
}

Result<bool> GetMode(const MsiHandle& session, std::uint32_t run_mode)
{
    auto get = TRY((api<decltype(&::MsiGetMode), "MsiGetMode">()));
    return get(session.get(), static_cast<MSIRUNMODE>(run_mode)) != FALSE;
}

} // namespace quillon::msi
