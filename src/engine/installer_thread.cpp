#include "engine/installer_thread.h"

#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/strings.h"
#include "media/media_files.h"
#include "msi/handover_file.h"
#include "msi/installer_api.h"
#include "msi/installer_messages.h"
#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "vars/comma_text.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace quillon {

namespace {

// Internal user interface: none, but source resolution stays Windows Installer's own.
constexpr std::uint32_t internal_ui_level = 258;
constexpr std::uint32_t log_mode = 16351;
constexpr std::uint32_t log_attributes = 3; // append, flush each line

bool thread_cancelled(const TVariableManager& vars)
{
    return GetVar(vars, var::thread_cancelled) == "TRUE";
}

void publish(TVariableManager& vars, const std::string& text, std::int64_t position)
{
    msi::PublishInstallerProgress(vars, text, 0, 100, position);
}

bool path_exists(const std::string& path)
{
    return GetFileAttributesW(win32::to_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows Installer keeps packages it was given for a run here; a value left
// by an earlier run of this product would stand for a package that is gone.
void delete_temp_packages(const std::string& product_code)
{
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\TempPackages", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
        return;
    win32::UniqueHkey key(raw);
    DWORD count = 0;
    if (RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return;
    std::wstring code = win32::to_wide(ascii_upper(product_code));
    for (DWORD i = count; i-- > 0;) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(raw, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        if (std::wstring_view(name, length).find(code) != std::wstring_view::npos)
            RegDeleteValueW(raw, name);
    }
}

// The short form of an existing folder, or nothing.
std::optional<std::string> short_folder(const std::string& folder)
{
    std::optional<std::string> short_form = win32::short_path_name(folder);
    if (short_form)
        *short_form = with_backslash(*short_form);
    return short_form;
}

void run_statement(const msi::MsiHandle& database, const std::string& sql)
{
    Result<msi::MsiHandle> view = msi::OpenView(database, sql);
    if (!view)
        return;
    if (msi::Execute(*view))
        (void)msi::CloseView(*view);
}

// Rewrites every row the query selects: change(record) edits its field 1 and
// answers whether the row is to be written back.
void update_rows(const msi::MsiHandle& database, const std::string& query,
                 const std::function<bool(const msi::MsiHandle& record)>& change)
{
    Result<msi::MsiHandle> view = msi::OpenView(database, query);
    if (!view || !msi::Execute(*view))
        return;
    while (true) {
        Result<std::optional<msi::MsiHandle>> record = msi::Fetch(*view);
        if (!record || !*record)
            break;
        if (change(**record))
            (void)msi::UpdateRecord(*view, **record);
    }
    (void)msi::CloseView(*view);
}

// A transformed instance's components get identities of their own, so that
// Windows Installer counts them apart from the other instance's.
void renew_component_ids(const msi::MsiHandle& database)
{
    update_rows(database, std::string(msi::component_ids_query), [](const msi::MsiHandle& record) {
        std::string id = NewGuid();
        return !id.empty() && msi::SetRecordString(record, 1, id).has_value();
    });
    (void)msi::Commit(database);
}

// The run's texts and the property queue go into the package; statements that
// fail are left out and the package stays as it was for them.
void apply_package_edits(const msi::InstallerRequest& request)
{
    Result<msi::MsiHandle> database = msi::OpenDatabase(request.package_path, true);
    if (!database)
        return;
    if (request.renew_component_ids)
        renew_component_ids(*database);
    for (const std::string& sql : msi::ShortcutTextStatements(request.shortcut_texts))
        run_statement(*database, sql);
    for (const std::string& sql : msi::FileTypeTextStatements(request.file_type_texts))
        run_statement(*database, sql);
    if (request.instance_transform && !request.queue.empty()) {
        // The package of another instance: its own package and product codes.
        if (Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 1))
            if (msi::SetSummaryString(*summary, msi::summary_revision_number, request.revision_code))
                (void)msi::PersistSummary(*summary);
        run_statement(*database, msi::ProductCodeStatement(request.product_code));
    }
    for (const std::string& sql : msi::PropertyQueueStatements(request.queue))
        run_statement(*database, sql);
    (void)msi::Commit(*database);
}

void set_component_platform(const msi::MsiHandle& database, bool bits64)
{
    update_rows(database, "SELECT `Attributes` FROM `Component`", [bits64](const msi::MsiHandle& record) {
        int attributes = msi::RecordInteger(record, 1);
        attributes =
            bits64 ? attributes | msi::component_64bit_attribute : attributes & ~msi::component_64bit_attribute;
        return msi::SetRecordInteger(record, 1, attributes).has_value();
    });
}

// The package's platform follows the engine's 64-bit mode; its sources are
// long-named, uncompressed files beside it.
void set_platform_and_word_count(const std::string& package, const std::string& mode)
{
    Result<msi::MsiHandle> database = msi::OpenDatabase(package, true);
    if (!database)
        return;
    if (Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 1)) {
        std::string current = msi::SummaryString(*summary, msi::summary_template).value_or("");
        msi::PackagePlatform platform = msi::PlatformForMode(current, mode);
        if (msi::SetSummaryString(*summary, msi::summary_template, platform.template_text))
            (void)msi::PersistSummary(*summary);
        (void)msi::Commit(*database);
        if (platform.changed) {
            set_component_platform(*database, platform.components_64bit);
            (void)msi::Commit(*database);
        }
    }
    if (Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 1)) {
        if (msi::SetSummaryInteger(*summary, msi::summary_word_count, msi::package_word_count))
            (void)msi::PersistSummary(*summary);
        (void)msi::Commit(*database);
    }
}

std::string now_text()
{
    wchar_t date[128] = L"";
    wchar_t time[128] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 128);
    return win32::to_ansi(date) + " " + win32::to_ansi(time);
}

// The header goes before Windows Installer's own log, in its encoding (UTF-16LE).
void append_log_header(const std::string& log_file, const std::vector<std::string>& lines)
{
    std::wstring path = win32::to_wide(log_file);
    win32::UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    std::wstring text;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart == 0)
        text += L'\xFEFF';
    for (const std::string& line : lines)
        text += win32::to_wide(line) + L"\r\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}

std::string system_message(std::uint32_t code)
{
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return "Windows Installer error " + std::to_string(code);
    std::string text = win32::to_ansi(std::wstring_view(buffer, length));
    LocalFree(buffer);
    return msi::TrimSystemMessage(text);
}

// The account that runs the setup, as DOMAIN\name.
std::string current_account()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    win32::UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !GetTokenInformation(raw, TokenUser, buffer.data(), size, &size))
        return {};
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    wchar_t name[256];
    wchar_t domain[256];
    DWORD name_length = 256;
    DWORD domain_length = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, user->User.Sid, name, &name_length, domain, &domain_length, &use))
        return {};
    return win32::to_ansi(domain) + "\\" + win32::to_ansi(name);
}

std::optional<std::wstring> read_string(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

void write_expandable(HKEY key, const std::wstring& name, const std::string& value)
{
    std::wstring wide = win32::to_wide(value);
    RegSetValueExW(key, name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// A removal finds the package and its media in the folders this run uses,
// which need not be the ones the product was installed from.
void repair_source_list(const std::string& product_code, const std::string& package_folder,
                        const std::string& data_folder, const std::string& media_package_path)
{
    std::wstring packed = win32::to_wide(msi::PackedGuid(product_code));
    if (packed.empty())
        return;
    const std::pair<HKEY, std::wstring> roots[] = {
        {HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Installer\\Products\\" + packed + L"\\SourceList"},
        {HKEY_CLASSES_ROOT, L"Installer\\Products\\" + packed + L"\\SourceList"},
    };
    for (const auto& [root, path] : roots) {
        HKEY raw = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
            win32::UniqueHkey key(raw);
            std::string last = win32::to_ansi(read_string(raw, L"LastUsedSource").value_or(L""));
            write_expandable(raw, L"LastUsedSource", msi::LastUsedSource(last, package_folder));
        }
        if (RegOpenKeyExW(root, (path + L"\\Media").c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &raw) ==
            ERROR_SUCCESS) {
            win32::UniqueHkey key(raw);
            if (read_string(raw, L"MediaPackage"))
                write_expandable(raw, L"MediaPackage", media_package_path);
        }
        if (RegOpenKeyExW(root, (path + L"\\Net").c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
            win32::UniqueHkey key(raw);
            long largest = 0;
            for (DWORD i = 0;; ++i) {
                wchar_t name[256];
                DWORD length = 256;
                if (RegEnumValueW(raw, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                if (auto number = parse_int64(win32::to_ansi(name)); number && *number > largest)
                    largest = static_cast<long>(*number);
            }
            write_expandable(raw, std::to_wstring(largest + 1), package_folder);
            write_expandable(raw, std::to_wstring(largest + 2), data_folder);
        }
    }
}

// Windows Installer's messages in the engine's boxes; the progress in the thread variables.
class MessageHostOfRun : public msi::MessageHost {
public:
    MessageHostOfRun(TVariableManager& vars, HWND owner, std::string caption, bool quiet)
        : m_vars(vars), m_owner(owner), m_caption(std::move(caption)), m_quiet(quiet)
    {
    }

    bool quiet() const override { return m_quiet; }
    int show_box(const std::string& text, std::uint32_t style, bool extended) override
    {
        std::wstring wide_text = win32::to_wide(text);
        std::wstring wide_caption = win32::to_wide(m_caption);
        int answer = extended ? MessageBoxExW(m_owner, wide_text.c_str(), wide_caption.c_str(), style, 0)
                              : MessageBoxW(m_owner, wide_text.c_str(), wide_caption.c_str(), style);
        if (answer == 0 && m_owner != nullptr)
            answer = MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), style);
        return answer;
    }
    // The taskbar belongs to the main thread; its refresh follows PROGRESSMODE.
    void set_attention(bool error) override
    {
        m_saved_mode = GetVar(m_vars, var::progress_mode);
        m_vars.SetValue(var::progress_mode, error ? "ERROR" : "PAUSE");
    }
    void clear_attention() override { m_vars.SetValue(var::progress_mode, m_saved_mode); }
    bool report_progress(const std::string& action_text, std::int64_t minimum, std::int64_t maximum,
                         std::int64_t position) override
    {
        return msi::PublishInstallerProgress(m_vars, action_text, minimum, maximum, position);
    }

    msi::InstallerProgress progress;
    msi::MessagePrefixes prefixes;

private:
    TVariableManager& m_vars;
    HWND m_owner;
    std::string m_caption;
    bool m_quiet;
    std::string m_saved_mode;
};

int __stdcall handle_message(void* context, std::uint32_t type, const char* message)
{
    auto* host = static_cast<MessageHostOfRun*>(context);
    return msi::HandleInstallerMessage(host->progress, *host, host->prefixes, type, message ? message : "");
}

// Sleeps the busy wait in short slices, so that a cancel ends it at once.
void wait_while_busy(const TVariableManager& vars)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(msi::busy_retry_ms);
    while (std::chrono::steady_clock::now() < until && !thread_cancelled(vars))
        Sleep(50);
}

class InstallerThread {
public:
    explicit InstallerThread(InstallerThreadSetup setup) : m_setup(std::move(setup)) {}

    void run()
    {
        TVariableManager& vars = m_setup.vars;
        InstallerRunState& state = *m_setup.state;
        const msi::InstallerRequest& request = m_setup.request;
        ScopeExit finish([&] {
            vars.SetValue(var::thread_finished, "TRUE");
            state.ended.set();
            if (m_setup.wake)
                m_setup.wake();
        });

        delete_temp_packages(request.product_code);
        prepare_folders();
        publish(vars, std::string(msi::installer_progress_text), 0);

        std::string handover = request.temp_folder + msi::HandOverFileName(request.product_code);
        write_handover(handover);
        ScopeExit remove_handover([&] { DeleteFileW(win32::to_wide(handover).c_str()); });
        publish(vars, std::string(msi::installer_progress_text), 50);
        if (!request.patch())
            apply_package_edits(request);
        publish(vars, std::string(msi::installer_progress_text), 100);
        set_platform_and_word_count(request.package_path, request.platform_mode);
        m_product_state = msi::QueryProductState(request.product_code).value_or(-1);

        if (thread_cancelled(vars)) {
            state.skipped_for_cancel = true;
            return;
        }
        MessageHostOfRun host(vars, reinterpret_cast<HWND>(request.parent_window), GetVar(vars, var::title), m_quiet);
        const EngineMessages& messages = m_setup.messages;
        host.prefixes = {messages.text(MessageLine::fatal_error_prefix), messages.text(MessageLine::error_prefix),
                         messages.text(MessageLine::warning_prefix), messages.text(MessageLine::files_in_use_prefix),
                         messages.text(MessageLine::out_of_disk_space_prefix)};
        if (!request.log_file.empty()) {
            append_log_header(request.log_file, log_header());
            (void)msi::EnableLog(log_mode, request.log_file, log_attributes);
        }
        (void)msi::SetInternalUI(internal_ui_level);
        (void)msi::SetExternalUI(handle_message, msi::message_filter, &host);
        ScopeExit clear_handler([] { (void)msi::ClearExternalUI(); });

        if (request.operation == msi::InstallerOperation::remove)
            repair_source_list(request.product_code, m_package_folder, m_data_folder, m_media_package_path);
        run_package(host);
        if (state.error && state.error_text.empty())
            state.error_text = host.progress.last_error.empty()
                                   ? m_setup.messages.text(MessageLine::general_setup_failure)
                                   : host.progress.last_error;
        state.error_text = msi::FinishErrorText(state.error_text);
    }

private:
    // Short forms keep blanks out of the command line; where a folder keeps
    // one (or has no short form), its values are quoted.
    void prepare_folders()
    {
        const msi::InstallerRequest& request = m_setup.request;
        std::string package_folder = request.package_path.substr(0, request.package_path.rfind('\\') + 1);
        std::optional<std::string> short_package = short_folder(package_folder);
        m_package_folder = short_package.value_or(package_folder);
        m_quote_source = !short_package || m_package_folder.find(' ') != std::string::npos;
        m_data_folder = request.data_folder;
        m_media_folder = request.media_folder;
        if (!request.patch() && !m_data_folder.empty() && !path_exists(m_data_folder))
            media::CreateFolders(m_data_folder, false);
        if (request.patch() && !m_media_folder.empty() && path_exists(m_media_folder)) {
            std::optional<std::string> short_media = short_folder(m_media_folder);
            m_quote_folders |= !short_media || short_media->find(' ') != std::string::npos;
            m_media_folder = short_media.value_or(m_media_folder);
        }
        if (!m_data_folder.empty() && path_exists(m_data_folder)) {
            std::optional<std::string> short_data = short_folder(m_data_folder);
            m_quote_folders |= !short_data || short_data->find(' ') != std::string::npos;
            m_data_folder = short_data.value_or(m_data_folder);
        }
        m_media_package_path = msi::MediaPackagePath(m_data_folder);
    }

    void write_handover(const std::string& path)
    {
        TVariableManager& vars = m_setup.vars;
        msi::InstallerRequest handed = m_setup.request;
        handed.data_folder = m_data_folder;
        handed.media_folder = m_media_folder;
        msi::HandOverInputs inputs{handed, m_media_package_path,
                                   [&vars](std::string_view value) { return NormalizePath(vars, value); },
                                   [](const std::string& value) { return path_exists(value); }};
        std::string text = msi::ComposeHandOver(msi::HandOverEntries(inputs));
        m_quiet = text_is_true(GetVar(vars, var::silent)) || GetVar(vars, var::silent) == "TRUE";
        (void)win32::write_private_file(path, std::as_bytes(std::span(text.data(), text.size())));
    }

    std::vector<std::string> log_header() const
    {
        const msi::InstallerRequest& request = m_setup.request;
        msi::LogHeaderInputs inputs;
        inputs.caption = request.caption;
        inputs.timestamp = now_text();
        inputs.variables = comma_text(request.variables);
        inputs.properties = comma_text(request.properties);
        inputs.package = request.package_path;
        inputs.product_code = request.product_code;
        inputs.data_folder = m_data_folder;
        inputs.media_package_path = m_media_package_path;
        inputs.package_folder = m_package_folder;
        return msi::LogHeaderLines(inputs);
    }

    std::string command_line() const
    {
        const msi::InstallerRequest& request = m_setup.request;
        const TVariableManager& vars = m_setup.vars;
        msi::CommandLineInputs inputs;
        inputs.operation = request.operation;
        inputs.all_users = GetVar(vars, var::all_users) == "TRUE";
        inputs.disable_rollback = GetVar(vars, "KYRT_DISABLE_ROLLBACK") == "TRUE";
        inputs.disable_restart_manager = GetVar(vars, "KYRT_DISABLE_VISTA_RESTART_MANAGER") == "TRUE";
        inputs.product_installed = m_product_state == msi::product_installed;
        inputs.only_advertised_before =
            !request.engine_cache_folder.empty() && path_exists(request.engine_cache_folder + "__ad");
        inputs.target_folder = request.target_folder;
        inputs.data_folder = m_data_folder;
        inputs.package_folder = m_package_folder;
        inputs.media_package_path = m_media_package_path;
        inputs.media_folder = m_media_folder;
        inputs.quote_folders = m_quote_folders;
        inputs.quote_source = m_quote_source;
        return msi::ComposeCommandLine(inputs);
    }

    void run_package(MessageHostOfRun& host)
    {
        const msi::InstallerRequest& request = m_setup.request;
        TVariableManager& vars = m_setup.vars;
        InstallerRunState& state = *m_setup.state;
        std::string line = command_line();
        if (request.patch()) {
            (void)msi::AddSource(request.product_code, "", m_media_folder);
            (void)msi::AddSource(request.product_code, current_account(), m_media_folder);
        }
        Result<std::uint32_t> code = 0u;
        for (int attempt = 1;; ++attempt) {
            code = request.patch() ? msi::ApplyPatch(request.package_path, line)
                                   : msi::InstallProduct(request.package_path, line);
            if (!code || *code != msi::installer_busy || thread_cancelled(vars))
                break;
            host.progress.action_text = msi::BusyProgressText(attempt);
            host.report_progress(host.progress.action_text, 0, 100, 0);
            wait_while_busy(vars);
        }
        if (!code) {
            state.error = true;
            state.error_text = code.error().message;
        } else if (msi::InstallerNeedsRestart(*code)) {
            state.restart = true;
        } else if (!msi::InstallerSucceeded(*code)) {
            state.error = true;
            state.error_text = system_message(*code);
        }
    }

    InstallerThreadSetup m_setup;
    std::string m_package_folder;
    std::string m_data_folder;
    std::string m_media_folder;
    std::string m_media_package_path;
    bool m_quote_source = false;
    bool m_quote_folders = false;
    bool m_quiet = false;
    int m_product_state = -1;
};

} // namespace

std::string NewGuid()
{
    GUID guid{};
    wchar_t text[40] = L"";
    if (CoCreateGuid(&guid) != S_OK || StringFromGUID2(guid, text, 40) == 0)
        return std::string();
    return win32::to_ansi(text);
}

std::thread StartInstallerThread(InstallerThreadSetup setup)
{
    return std::thread([setup = std::move(setup)]() mutable { InstallerThread(std::move(setup)).run(); });
}

} // namespace quillon
