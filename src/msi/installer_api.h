// The engine's calls of Windows Installer: the ANSI functions of msi.dll,
// each found when it is first called (msi.dll is taken from the system
// folder; the engine imports no library that is not a KnownDLL). A library or
// function that cannot be had is an error of the calling command: "Library
// not found: msi.dll", "Function not found: msi.dll.MsiOpenDatabaseA".
// Texts are the engine's 8-bit strings in the ANSI code page.
#pragma once

#include "base/error.h"
#include "platform/win32/unique_handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::msi {

using HandleValue = std::uint32_t; // an MSIHANDLE

namespace detail {
void close_handle(HandleValue handle) noexcept;
} // namespace detail

// Owns one installer handle (database, view, record, summary information, package).
using MsiHandle = win32::UniqueResource<HandleValue, detail::close_handle>;

// The result codes the engine tells apart.
inline constexpr std::uint32_t no_more_items = 259;
inline constexpr std::uint32_t install_busy = 1618;
inline constexpr std::uint32_t reboot_initiated = 1641;
inline constexpr std::uint32_t reboot_required = 3010;
inline constexpr int product_installed = 5; // INSTALLSTATE_DEFAULT

// Summary information properties the engine reads or writes.
inline constexpr std::uint32_t summary_template = 7;
inline constexpr std::uint32_t summary_revision_number = 9;
inline constexpr std::uint32_t summary_word_count = 15;

// Databases and their views. A failed call is ErrorCode::installer with its code.
Result<MsiHandle> OpenDatabase(const std::string& package, bool for_edits);
Result<MsiHandle> OpenView(const MsiHandle& database, const std::string& sql);
Result<void> Execute(const MsiHandle& view);
// The next record; nothing once the view has no more (259).
Result<std::optional<MsiHandle>> Fetch(const MsiHandle& view);
// Writes a fetched record back (update mode).
Result<void> UpdateRecord(const MsiHandle& view, const MsiHandle& record);
Result<void> CloseView(const MsiHandle& view);
Result<void> Commit(const MsiHandle& database);

// Record fields; a string field is read through a 10,240-byte buffer.
Result<std::string> RecordString(const MsiHandle& record, std::uint32_t field);
int RecordInteger(const MsiHandle& record, std::uint32_t field);
Result<void> SetRecordString(const MsiHandle& record, std::uint32_t field, const std::string& value);
Result<void> SetRecordInteger(const MsiHandle& record, std::uint32_t field, int value);

// Summary information of a database, opened for `update_count` changes.
Result<MsiHandle> SummaryInformation(const MsiHandle& database, std::uint32_t update_count);
Result<std::string> SummaryString(const MsiHandle& summary, std::uint32_t property);
Result<int> SummaryInteger(const MsiHandle& summary, std::uint32_t property);
Result<void> SetSummaryString(const MsiHandle& summary, std::uint32_t property, const std::string& value);
Result<void> SetSummaryInteger(const MsiHandle& summary, std::uint32_t property, int value);
Result<void> PersistSummary(const MsiHandle& summary);

// Installed products.
Result<int> QueryProductState(const std::string& product_code);
// A property of an installed product ("PackageCode"), read through a 260-byte buffer.
Result<std::string> ProductInfo(const std::string& product_code, const std::string& property);

// Running packages. The UI level 258 (no UI, source resolution kept) and the
// external handler with its filter are set before a run; the handler gets
// its context and the message type and text and answers the reply.
using ExternalHandler = int(__stdcall*)(void* context, std::uint32_t type, const char* message);
Result<void> SetInternalUI(std::uint32_t level);
Result<void> SetExternalUI(ExternalHandler handler, std::uint32_t filter, void* context);
// No handler any more (after a run).
Result<void> ClearExternalUI();
Result<void> EnableLog(std::uint32_t mode, const std::string& log_path, std::uint32_t attributes);
// The installer's result code: 0, 1641 and 3010 succeed (the last two need a
// restart), 1618 means another installation is running, others fail.
Result<std::uint32_t> InstallProduct(const std::string& package, const std::string& command_line);
Result<std::uint32_t> ApplyPatch(const std::string& patch, const std::string& command_line);
// Removes an installed product by its code (MsiConfigureProductEx, every feature absent).
Result<std::uint32_t> RemoveProduct(const std::string& product_code, const std::string& command_line);
// A folder as a source of the product, for no particular user (empty) or for one.
Result<void> AddSource(const std::string& product_code, const std::string& user, const std::string& folder);

// The package session of "Is MSI Setup Installed" and the run-mode checks.
Result<MsiHandle> OpenPackage(const std::string& package);
Result<void> SetProperty(const MsiHandle& session, const std::string& name, const std::string& value);
Result<std::uint32_t> DoAction(const MsiHandle& session, const std::string& action);
Result<bool> GetMode(const MsiHandle& session, std::uint32_t run_mode);

inline constexpr std::uint32_t ui_level_none_with_source_resolution = 258;
inline constexpr std::uint32_t message_filter_all = 32735; // every message kind the handler knows
inline constexpr std::uint32_t log_mode_all = 16351;
inline constexpr std::uint32_t log_attributes = 3; // append, flush each line

namespace detail {
// The function's address, loading the library from the system folder when the
// process has not loaded it yet; the errors carry the texts above.
Result<void*> find_function(const wchar_t* library, const char* function);
} // namespace detail

} // namespace quillon::msi
