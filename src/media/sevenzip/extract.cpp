// Extraction into a folder: paths checked up front; no file whose data failed
// its CRC stays, and no existing file is replaced by one.
#include "media/sevenzip/member_path.h"
#include "media/sevenzip/sevenzip.h"
#include "media/sevenzip/stream.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace quillon::sevenzip {

namespace fs = std::filesystem;

namespace {

std::unexpected<Error> io_error(const std::string& what, const fs::path& path, const std::error_code& error = {})
{
    std::string message = "7z extraction: " + what + " " + display_path(path);
    if (error)
        message += ": " + error.message();
    return make_error(ErrorCode::io, std::move(message), static_cast<std::uint32_t>(error.value()));
}

struct Plan {
    bool extract = false;
    fs::path final_path;
};

// The standard library's files.
class PortableOutput final : public OutputFiles {
public:
    explicit PortableOutput(const MetadataHook& hook) : m_hook(hook) {}

    Existing existing(const fs::path& path) override
    {
        std::error_code error;
        auto status = fs::symlink_status(path, error);
        if (!fs::exists(status))
            return Existing::none;
        return fs::is_directory(status) ? Existing::folder : Existing::file;
    }
    Result<std::unique_ptr<OutputFile>> create_new(const fs::path& path) override
    {
        if (existing(path) != Existing::none)
            return std::unique_ptr<OutputFile>();
        auto file = std::make_unique<File>(path, m_hook);
        if (!file->stream)
            return io_error("cannot create", path);
        return std::unique_ptr<OutputFile>(std::move(file));
    }
    Result<void> replace(const fs::path& from, const fs::path& to) override
    {
        std::error_code error;
        if (fs::exists(fs::symlink_status(to, error))) {
            // A read-only file cannot be replaced on Windows.
            fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, error);
            fs::remove(to, error);
            if (error)
                return io_error("cannot replace", to, error);
        }
        fs::rename(from, to, error);
        if (error)
            return io_error("cannot rename the extracted file to", to, error);
        return {};
    }
    void remove(const fs::path& path) noexcept override
    {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove(path, ignored);
    }

private:
    struct File final : OutputFile {
        File(const fs::path& file_path, const MetadataHook& metadata)
            : path(file_path), stream(file_path, std::ios::binary | std::ios::trunc), hook(metadata)
        {
        }
        Result<void> write(std::span<const std::byte> data) override
        {
            stream.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
            if (!stream)
                return io_error("cannot write", path);
            return {};
        }
        Result<void> finish(const Entry& entry) override
        {
            stream.close();
            if (!stream)
                return io_error("cannot write", path);
            return hook ? hook(path, entry) : apply_metadata_portable(path, entry);
        }
        fs::path path;
        std::ofstream stream;
        const MetadataHook& hook;
    };
    const MetadataHook& m_hook;
};

// A file whose name is free is written under it and deleted again when its
// data fails the CRC; one that replaces an existing file is written under a
// temporary name beside it and replaces it only once its CRC matched (an
// empty one has nothing to check and replaces it at once). Under Wine every
// lookup of a name that does not exist scans the folder for other spellings,
// so each such lookup per file costs as much as the folder is large.
class FolderSink final : public EntrySink {
public:
    FolderSink(const ExtractOptions& options, const std::vector<Plan>& plans, OutputFiles& output)
        : m_options(options), m_plans(plans), m_output(output)
    {
    }

    const std::vector<std::pair<fs::path, std::size_t>>& directories() const noexcept { return m_directories; }

    Result<void> begin(const Entry& entry) override
    {
        const Plan& plan = m_plans[entry.index];
        m_discard = !plan.extract;
        if (m_discard)
            return {};
        std::error_code error;
        if (entry.is_directory) {
            m_discard = true;
            fs::create_directories(plan.final_path, error);
            if (error || !fs::is_directory(plan.final_path, error))
                return io_error("cannot create the folder", plan.final_path, error);
            m_directories.emplace_back(plan.final_path, entry.index);
            return {};
        }

        fs::path folder = plan.final_path.parent_path();
        // Members come folder by folder: one check per folder, not per file.
        if (folder != m_last_folder) {
            fs::create_directories(folder, error);
            if (error)
                return io_error("cannot create the folder", folder, error);
            m_last_folder = folder;
        }
        // A free name is taken at once (creating it is the existence check);
        // a file that fails its CRC is deleted again in abort().
        m_current = plan.final_path;
        m_direct = true;
        m_file = TRY(m_output.create_new(m_current));
        if (m_file)
            return {};
        TRY(check_existing(entry, plan.final_path));
        if (m_discard)
            return {};
        if (entry.size == 0) {
            // Nothing to check: the empty file replaces the old one at once.
            m_output.remove(m_current);
            m_file = TRY(m_output.create_new(m_current));
            if (!m_file)
                return io_error("cannot replace", m_current);
            return {};
        }
        // The file it replaces stays until the new one passed its CRC.
        m_direct = false;
        while (!m_file) {
            m_current = folder / (".qv" + std::to_string(++m_counter) + ".part");
            m_file = TRY(m_output.create_new(m_current));
        }
        return {};
    }

    Result<void> write(std::span<const std::byte> data) override
    {
        if (m_discard)
            return {};
        return m_file->write(data);
    }

    Result<void> commit(const Entry& entry) override
    {
        if (m_discard)
            return {};
        Result<void> finished = m_file->finish(entry);
        m_file.reset();
        TRY(finished);
        fs::path current = std::exchange(m_current, fs::path());
        if (m_direct)
            return {};
        return m_output.replace(current, m_plans[entry.index].final_path);
    }

    void abort(const Entry&) noexcept override
    {
        if (m_current.empty())
            return;
        m_file.reset();
        m_output.remove(m_current);
        m_current.clear();
    }

private:
    // What stands at the final name: a folder is an error; a file is replaced,
    // kept (the entry is skipped) or an error, as the options say.
    Result<void> check_existing(const Entry& entry, const fs::path& final_path)
    {
        OutputFiles::Existing existing = m_output.existing(final_path);
        if (existing == OutputFiles::Existing::none)
            return {};
        if (existing == OutputFiles::Existing::folder)
            return io_error("a folder stands where the file goes:", final_path);
        switch (m_options.overwrite) {
        case Overwrite::replace: break;
        case Overwrite::skip: m_discard = true; return {};
        case Overwrite::fail: return io_error("the file exists:", final_path);
        case Overwrite::ask: {
            OverwriteAnswer answer =
                m_options.overwrite_query ? m_options.overwrite_query(entry, final_path) : OverwriteAnswer::skip;
            if (answer == OverwriteAnswer::cancel)
                return make_error(ErrorCode::cancelled, "7z extraction cancelled");
            if (answer == OverwriteAnswer::skip) {
                m_discard = true;
                return {};
            }
            break;
        }
        }
        return {};
    }

    const ExtractOptions& m_options;
    const std::vector<Plan>& m_plans;
    OutputFiles& m_output;
    std::vector<std::pair<fs::path, std::size_t>> m_directories;
    std::unique_ptr<OutputFile> m_file;
    fs::path m_current; // the name being written: the final one, or a temporary one
    fs::path m_last_folder;
    unsigned m_counter = 0;
    bool m_discard = false;
    bool m_direct = false;
};

} // namespace

Result<void> apply_metadata_portable(const fs::path& path, const Entry& entry)
{
    std::error_code error;
#ifdef _WIN32
    // The standard library sets times through a call that cannot open folders
    // on Windows; the Windows layer's hook sets folder times itself.
    bool can_set_time = !entry.is_directory;
#else
    bool can_set_time = true;
#endif
    if (entry.modified && can_set_time) {
        // FILETIME counts 100 ns ticks from 1601; the file clock holds roughly 1900 to 2400.
        constexpr std::int64_t unix_epoch = 116444736000000000;
        constexpr std::int64_t earliest = -22089888000000000; // 1900-01-01, relative to 1970
        constexpr std::int64_t latest = 135694656000000000;   // 2400-01-01
        std::int64_t ticks =
            static_cast<std::int64_t>(std::min<std::uint64_t>(*entry.modified, INT64_MAX)) - unix_epoch;
        if (ticks > earliest && ticks < latest) {
            using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
            std::chrono::sys_time<Ticks> when{Ticks{ticks}};
            auto file_time = std::chrono::file_clock::from_sys(when);
            fs::last_write_time(path, std::chrono::time_point_cast<fs::file_time_type::duration>(file_time), error);
            if (error)
                return io_error("cannot set the time of", path, error);
        }
    }
    if (entry.has_attributes) {
        if (entry.attributes & attribute_unix_extension) {
            auto mode = static_cast<fs::perms>((entry.attributes >> 16) & 0777);
            fs::permissions(path, mode, fs::perm_options::replace, error);
        } else if (entry.attributes & attribute_readonly) {
            fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove, error);
        }
        if (error)
            return io_error("cannot set the attributes of", path, error);
    }
    return {};
}

Result<void> Archive::extract(const fs::path& target, const ExtractOptions& options)
{
    const std::vector<Entry>& all = entries();
    std::vector<std::size_t> selection;
    if (options.selection) {
        selection = *options.selection;
    } else {
        selection.resize(all.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            selection[i] = i;
    }

    // Every selected path is checked before the first byte is written.
    std::vector<Plan> plans(all.size());
    try {
        for (std::size_t index : selection) {
            if (index >= all.size())
                return make_error(ErrorCode::out_of_range,
                                  "7z archive: entry " + std::to_string(index) + " does not exist");
            const Entry& entry = all[index];
            auto components = member_components(entry.name);
            if (!components)
                return std::unexpected(components.error());
            if (options.path_mode == PathMode::flat) {
                if (entry.is_directory)
                    continue;
                plans[index] = {true, target / path_from_utf16(components->back())};
                continue;
            }
            fs::path path = target;
            for (const auto& component : *components)
                path /= path_from_utf16(component);
            plans[index] = {true, std::move(path)};
        }
    } catch (const std::exception& e) {
        return make_error(ErrorCode::io, std::string("7z extraction: ") + e.what());
    }

    std::error_code error;
    fs::create_directories(target, error);
    if (error || !fs::is_directory(target, error))
        return io_error("cannot create the target folder", target, error);

    PortableOutput portable(options.apply_metadata);
    FolderSink sink(options, plans, options.output != nullptr ? *options.output : portable);
    ReadOptions read_options;
    read_options.selection = std::move(selection);
    read_options.progress = options.progress;
    read_options.cancel = options.cancel;
    read_options.buffer_size = options.buffer_size;
    TRY(read(sink, read_options));

    // Folder times last, deepest first: writing their files changed them.
    auto folders = sink.directories();
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        return std::distance(a.first.begin(), a.first.end()) > std::distance(b.first.begin(), b.first.end());
    });
    const MetadataHook& hook = options.apply_metadata;
    for (const auto& [path, index] : folders)
        TRY(hook ? hook(path, all[index]) : apply_metadata_portable(path, all[index]));
    return {};
}

} // namespace quillon::sevenzip
