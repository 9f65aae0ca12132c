// Reader of 7z archives: open, list, and extract into a folder or a sink.
// Portable; the Windows archive library sits on top of it and supplies the
// code-page conversion, the password and the callbacks.
#pragma once

#include "base/error.h"
#include "base/strings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::sevenzip {

// Windows attribute bits that the reader interprets.
inline constexpr std::uint32_t attribute_readonly = 0x01;
inline constexpr std::uint32_t attribute_directory = 0x10;
// Set by Unix archivers: the high 16 bits then hold st_mode.
inline constexpr std::uint32_t attribute_unix_extension = 0x8000;

struct Entry {
    std::size_t index = 0; // position in Archive::entries()
    std::u16string name;   // as stored in the archive
    std::string path;      // name in the caller's 8-bit code page, separators unified
    std::uint64_t size = 0;
    bool is_directory = false;
    bool has_attributes = false;
    std::uint32_t attributes = 0;          // Windows attributes, plus st_mode << 16 with the Unix extension bit
    std::optional<std::uint64_t> modified; // FILETIME: 100 ns ticks since 1601-01-01 UTC
    std::optional<std::uint32_t> crc;
    bool encrypted = false;
};

// Asked at most once per archive, when encrypted data is first met; no value
// means the user gave no password.
using PasswordProvider = std::function<std::optional<std::u16string>()>;

// UTF-16 name to the caller's 8-bit code page (WideCharToMultiByte on Windows).
using NameConverter = std::function<std::string(std::u16string_view)>;

std::string utf16_to_utf8(std::u16string_view text);
// Characters outside Latin-1 become '?' (base/strings.h).
using quillon::utf16_to_latin1;

// The file-system name of a stored UTF-16 name (UTF-8 natively, wide on Windows).
std::filesystem::path path_from_utf16(std::u16string_view text);

// Ceilings that keep a hostile archive from claiming unbounded memory or time.
struct Limits {
    std::uint64_t max_header_size = std::uint64_t{64} << 20;
    std::uint64_t max_entries = std::uint64_t{1} << 20; // files, folders and packed streams, each
    std::uint64_t max_dictionary = std::uint64_t{1536} << 20;
    std::uint32_t max_key_cycles_power = 24; // 7zAES key stretching: 2^n SHA-256 rounds
};

struct OpenOptions {
    PasswordProvider password;
    NameConverter name_converter; // utf16_to_utf8 when empty
    char separator = '\\';        // separator of Entry::path
    Limits limits;
};

using Progress = std::function<bool(const Entry& entry, std::uint64_t position, std::uint64_t total)>;

struct ReadOptions {
    std::optional<std::vector<std::size_t>> selection; // entry indexes; every entry when empty
    Progress progress;                                 // false stops with ErrorCode::cancelled
    const std::atomic<bool>* cancel = nullptr;         // polled between chunks
    std::size_t buffer_size = std::size_t{1} << 20;
};

// Receives the selected entries in archive order. commit() is called only
// after the entry's data passed its CRC; abort() when the entry failed or the
// read stopped after begin().
class EntrySink {
public:
    virtual ~EntrySink() = default;
    virtual Result<void> begin(const Entry& entry) = 0;
    virtual Result<void> write(std::span<const std::byte> data) = 0;
    virtual Result<void> commit(const Entry& entry) = 0;
    virtual void abort(const Entry& entry) noexcept = 0;
};

enum class PathMode {
    full, // members keep their folders below the target
    flat, // every file lands directly in the target; folder entries are skipped
};

enum class Overwrite { replace, skip, fail, ask };
enum class OverwriteAnswer { replace, skip, cancel };
using OverwriteQuery = std::function<OverwriteAnswer(const Entry& entry, const std::filesystem::path& existing)>;

// Applies an extracted entry's attributes and modification time.
using MetadataHook = std::function<Result<void>(const std::filesystem::path& path, const Entry& entry)>;

// The portable hook: std::filesystem times and permissions (read-only flag, Unix mode).
Result<void> apply_metadata_portable(const std::filesystem::path& path, const Entry& entry);

// Where extracted files are written. The default goes through the standard
// library; the Windows library gives one that needs fewer system calls per
// file, which counts when an archive holds many small files.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual Result<void> write(std::span<const std::byte> data) = 0;
    // Gives the file the entry's time and attributes, and closes it.
    virtual Result<void> finish(const Entry& entry) = 0;
};

class OutputFiles {
public:
    virtual ~OutputFiles() = default;
    enum class Existing { none, file, folder };
    virtual Existing existing(const std::filesystem::path& path) = 0;
    // A new file for writing; null (and no error) when the name is taken.
    virtual Result<std::unique_ptr<OutputFile>> create_new(const std::filesystem::path& path) = 0;
    // Moves a finished file to its name, replacing a file there (also a read-only one).
    virtual Result<void> replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Deletes a file (also a read-only one); failures are ignored.
    virtual void remove(const std::filesystem::path& path) noexcept = 0;
};

struct ExtractOptions {
    std::optional<std::vector<std::size_t>> selection;
    PathMode path_mode = PathMode::full;
    Overwrite overwrite = Overwrite::replace;
    OverwriteQuery overwrite_query; // consulted with Overwrite::ask
    Progress progress;
    const std::atomic<bool>* cancel = nullptr;
    MetadataHook apply_metadata; // for folders, and for files of the default output; apply_metadata_portable when empty
    OutputFiles* output = nullptr; // the standard library's when null
    std::size_t buffer_size = std::size_t{1} << 20;
};

class Archive {
public:
    static Result<Archive> open(const std::filesystem::path& path, OpenOptions options = {});
    // The bytes must outlive the archive.
    static Result<Archive> open_memory(std::span<const std::byte> bytes, OpenOptions options = {});

    Archive(Archive&&) noexcept;
    Archive& operator=(Archive&&) noexcept;
    ~Archive();

    const std::vector<Entry>& entries() const noexcept;

    // Entry indexes of 8-bit paths, compared as Entry::path ignoring ASCII case
    // and the separator style; ErrorCode::not_found names the first missing one.
    Result<std::vector<std::size_t>> find(std::span<const std::string> paths) const;

    Result<void> read(EntrySink& sink, const ReadOptions& options = {});

    // Rejects every unsafe member path before it writes anything; writes each
    // file that replaces another under a temporary name, renamed once its CRC
    // matched; a new file that fails its CRC is deleted.
    Result<void> extract(const std::filesystem::path& target, const ExtractOptions& options = {});

private:
    struct State;
    explicit Archive(std::unique_ptr<State> state) noexcept;
    Result<void> read_entries(EntrySink& sink, const ReadOptions& options);
    void decode_folder(struct FolderJob& job, class InputSource& input, std::size_t buffer_size);
    std::unique_ptr<State> m_state;
};

} // namespace quillon::sevenzip
