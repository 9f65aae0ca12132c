#include "media/sevenzip/coders.h"
#include "base/crc32.h"
#include "media/sevenzip/header.h"
#include "media/sevenzip/header_reader.h"
#include "media/sevenzip/input.h"
#include "media/sevenzip/sevenzip.h"

#include "media/sevenzip/folder_pipe.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace quillon::sevenzip {

namespace {

std::string normalized_for_lookup(std::string_view path)
{
    std::string out(path);
    for (char& c : out) {
        if (c == '/')
            c = '\\';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    }
    return out;
}

Error wrong_password(const std::string& what)
{
    return Error{ErrorCode::corrupt, 0, "7z archive: wrong password or corrupt archive (" + what + ")"};
}

} // namespace

struct Archive::State final : KeySource {
    std::unique_ptr<InputSource> input;
    OpenOptions options;
    Database database;
    std::vector<Entry> entries;
    std::vector<std::size_t> entry_file; // the database file behind each entry

    bool password_asked = false;
    std::optional<std::u16string> password;
    struct CachedKey {
        unsigned cycles_power;
        std::vector<std::byte> salt;
        std::array<std::byte, 32> key;
    };
    std::vector<CachedKey> keys; // key stretching is slow by design; folders usually share a salt

    Result<std::array<std::byte, 32>> key(unsigned cycles_power, std::span<const std::byte> salt) override
    {
        for (const auto& cached : keys)
            if (cached.cycles_power == cycles_power && std::ranges::equal(cached.salt, salt))
                return cached.key;
        if (!password_asked) {
            password_asked = true;
            if (options.password)
                password = options.password();
        }
        if (!password)
            return make_error(ErrorCode::not_found, "7z archive: the archive is encrypted and no password was given");
        auto derived = derive_aes_key(cycles_power, salt, *password);
        keys.push_back({cycles_power, std::vector<std::byte>(salt.begin(), salt.end()), derived});
        return derived;
    }

    Result<std::vector<std::byte>> decode_header(const Database& packed)
    {
        if (packed.streams.folders.size() != 1)
            return corrupt("the encoded header must be one folder");
        const Folder& folder = packed.streams.folders[0];
        bool encrypted = folder_is_encrypted(folder);
        if (folder.unpack_size() > options.limits.max_header_size)
            return unsupported("the header of " + std::to_string(folder.unpack_size() >> 20) +
                               " MiB exceeds the size limit");
        auto stream = TRY(open_folder(packed, 0, *input, *this, options.limits));
        // Grown as data arrives: a header's declared size costs nothing until it is real.
        std::vector<std::byte> header;
        std::uint64_t left = folder.unpack_size();
        while (left > 0) {
            std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, std::size_t{1} << 20));
            std::size_t at = header.size();
            header.resize(at + chunk);
            auto read = read_exact(*stream, std::span<std::byte>(header).subspan(at), "the encoded header");
            if (!read)
                return std::unexpected(encrypted && read.error().code == ErrorCode::corrupt
                                           ? wrong_password("the encrypted header cannot be decoded")
                                           : read.error());
            left -= chunk;
        }
        if (folder.crc && crc32(header) != *folder.crc)
            return std::unexpected(encrypted ? wrong_password("the encrypted header fails its CRC")
                                             : Error{ErrorCode::corrupt, 0, "7z archive: the header fails its CRC"});
        return header;
    }

    Result<void> load()
    {
        const std::uint64_t size = input->size();
        std::array<std::byte, signature_header_size> first{};
        std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(size, first.size()));
        TRY(input->read_at(0, std::span<std::byte>(first).first(have)));
        if (have < first.size()) {
            static constexpr unsigned char signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
            bool looks_like_7z =
                have >= 6 && std::equal(signature, signature + 6, first.begin(),
                                        [](unsigned char a, std::byte b) { return std::byte{a} == b; });
            return looks_like_7z ? corrupt("the archive is truncated") : corrupt("not a 7z archive (too short)");
        }
        SignatureHeader signature = TRY(parse_signature_header(first, size));
        if (signature.next_header_size == 0)
            return {}; // an empty archive
        if (signature.next_header_size > options.limits.max_header_size)
            return unsupported("the header of " + std::to_string(signature.next_header_size >> 20) +
                               " MiB exceeds the size limit");
        std::vector<std::byte> header(static_cast<std::size_t>(signature.next_header_size));
        TRY(input->read_at(signature.next_header_offset, header));
        if (crc32(header) != signature.next_header_crc)
            return corrupt("the header fails its CRC");

        HeaderKind kind = TRY(parse_header(header, database, options.limits.max_entries));
        if (kind == HeaderKind::encoded) {
            Database packed = std::move(database);
            database = Database{};
            TRY(place_streams(packed, size));
            header = TRY(decode_header(packed));
            auto parsed = parse_header(header, database, options.limits.max_entries);
            bool encrypted = folder_is_encrypted(packed.streams.folders[0]);
            if (!parsed && encrypted && parsed.error().code == ErrorCode::corrupt)
                return std::unexpected(wrong_password("the decrypted header does not parse"));
            if (!parsed)
                return std::unexpected(parsed.error());
            if (*parsed != HeaderKind::plain)
                return corrupt("the encoded header encodes another encoded header");
        }
        TRY(finish_database(database, size));
        build_entries();
        return {};
    }

    void build_entries()
    {
        const NameConverter& convert = options.name_converter;
        for (std::size_t i = 0; i < database.files.size(); ++i) {
            const FileItem& file = database.files[i];
            if (file.is_anti)
                continue; // deletion markers of update archives: nothing to list or extract
            Entry entry;
            entry.index = entries.size();
            entry.name = file.name;
            std::u16string unified = file.name;
            std::replace(unified.begin(), unified.end(), u'/', u'\\');
            std::string path = convert ? convert(unified) : utf16_to_utf8(unified);
            if (options.separator != '\\')
                std::replace(path.begin(), path.end(), '\\', options.separator);
            entry.path = std::move(path);
            entry.size = file.size;
            entry.is_directory = file.is_directory;
            entry.has_attributes = file.attributes.has_value();
            entry.attributes = file.attributes.value_or(0);
            entry.modified = file.modified;
            entry.crc = file.crc;
            entry.encrypted = file.has_stream && folder_is_encrypted(database.streams.folders[file.folder]);
            entries.push_back(std::move(entry));
            entry_file.push_back(i);
        }
    }
};

namespace {

Result<Archive> finish_open(Result<void> loaded, Archive archive)
{
    if (!loaded)
        return std::unexpected(loaded.error());
    return archive;
}

} // namespace

Archive::Archive(std::unique_ptr<State> state) noexcept : m_state(std::move(state)) {}
Archive::Archive(Archive&&) noexcept = default;
Archive& Archive::operator=(Archive&&) noexcept = default;
Archive::~Archive() = default;

Result<Archive> Archive::open(const std::filesystem::path& path, OpenOptions options)
{
    auto state = std::make_unique<State>();
    state->input = TRY(open_file_input(path));
    state->options = std::move(options);
    State& loading = *state;
    try {
        return finish_open(loading.load(), Archive(std::move(state)));
    } catch (const std::bad_alloc&) {
        return make_error(ErrorCode::io, "7z archive: not enough memory to read " + display_path(path));
    }
}

Result<Archive> Archive::open_memory(std::span<const std::byte> bytes, OpenOptions options)
{
    auto state = std::make_unique<State>();
    state->input = memory_input(bytes);
    state->options = std::move(options);
    State& loading = *state;
    try {
        return finish_open(loading.load(), Archive(std::move(state)));
    } catch (const std::bad_alloc&) {
        return make_error(ErrorCode::io, "7z archive: not enough memory to read the archive");
    }
}

const std::vector<Entry>& Archive::entries() const noexcept
{
    return m_state->entries;
}

Result<std::vector<std::size_t>> Archive::find(std::span<const std::string> paths) const
{
    // Hashed: a caller that selects every member of an archive of 100,000
    // names by name must not compare each with all the others.
    std::unordered_map<std::string, std::size_t> index;
    index.reserve(m_state->entries.size());
    for (std::size_t i = 0; i < m_state->entries.size(); ++i)
        index.emplace(normalized_for_lookup(m_state->entries[i].path), i); // the first of equal names wins
    std::vector<std::size_t> found;
    found.reserve(paths.size());
    for (const auto& path : paths) {
        auto it = index.find(normalized_for_lookup(path));
        if (it == index.end())
            return make_error(ErrorCode::not_found, "7z archive: no member named \"" + path + "\"");
        found.push_back(it->second);
    }
    return found;
}

Result<void> Archive::read(EntrySink& sink, const ReadOptions& options)
{
    try {
        return read_entries(sink, options);
    } catch (const std::bad_alloc&) {
        return make_error(ErrorCode::io, "7z archive: not enough memory to extract");
    }
}

namespace {

// The archive's bytes for several decoder threads at once.
class SharedInput final : public InputSource {
public:
    explicit SharedInput(InputSource& inner) : m_inner(inner) {}
    std::uint64_t size() const noexcept override { return m_inner.size(); }
    Result<void> read_at(std::uint64_t offset, std::span<std::byte> out) override
    {
        std::lock_guard lock(m_mutex);
        return m_inner.read_at(offset, out);
    }

private:
    InputSource& m_inner;
    std::mutex m_mutex;
};

// Decoded data waiting for the writer, over all folders. A folder decodes
// beside an earlier one only while its data may wait for the writer, which is
// still busy with the earlier folder: a later folder of up to a window's share
// of this decodes in parallel; more waits. Each decoder also holds its
// dictionary (at most the folder's size).
constexpr std::uint64_t bytes_ahead = std::uint64_t{48} << 20;
constexpr std::size_t least_chunks_ahead = 4;
constexpr unsigned most_decoders = 4;

} // namespace

// The selected files of one folder, decoded in order on a thread of their own.
struct FolderJob {
    std::size_t folder = 0;
    std::vector<std::size_t> entries;
    std::unique_ptr<FolderPipe> pipe;
};

// Decodes one folder into its pipe: skipped bytes of files that were not
// selected are decoded and dropped; each file's CRC and the folder's CRC are
// checked here, so the writer sees a file end only after its data passed.
void Archive::decode_folder(FolderJob& job, InputSource& input, std::size_t buffer_size)
{
    State& state = *m_state;
    auto fail = [&](Error error) { job.pipe->push({FolderPipe::Kind::failure, {}, std::move(error)}); };
    try {
        const Folder& folder = state.database.streams.folders[job.folder];
        auto stream = open_folder(state.database, job.folder, input, state, state.options.limits);
        if (!stream)
            return fail(stream.error());
        const bool encrypted = folder_is_encrypted(folder);
        const bool check_folder_crc = folder.crc.has_value() && folder.substream_count != 1;
        std::uint32_t folder_crc = 0;
        std::uint64_t position = 0;
        auto pull = [&](std::span<std::byte> out, const Entry& entry) -> Result<void> {
            auto read = read_exact(**stream, out, "a folder's data");
            if (!read) {
                if (encrypted && read.error().code == ErrorCode::corrupt)
                    return std::unexpected(wrong_password("data of \"" + entry.path + "\""));
                return read;
            }
            position += out.size();
            if (check_folder_crc) {
                folder_crc = crc32_update(folder_crc, out);
                if (position == folder.unpack_size() && folder_crc != *folder.crc)
                    return encrypted ? std::unexpected(wrong_password("data of \"" + entry.path + "\""))
                                     : corrupt("a folder fails its CRC");
            }
            return {};
        };
        std::vector<std::byte> skipped;
        for (std::size_t index : job.entries) {
            const Entry& entry = state.entries[index];
            const FileItem& file = state.database.files[state.entry_file[index]];
            while (position < file.folder_offset) {
                skipped.resize(
                    static_cast<std::size_t>(std::min<std::uint64_t>(buffer_size, file.folder_offset - position)));
                if (auto read = pull(skipped, entry); !read)
                    return fail(read.error());
            }
            std::uint32_t crc = 0;
            std::uint64_t left = file.size;
            while (left > 0) {
                std::vector<std::byte> chunk =
                    job.pipe->buffer(static_cast<std::size_t>(std::min<std::uint64_t>(buffer_size, left)));
                if (auto read = pull(chunk, entry); !read)
                    return fail(read.error());
                crc = crc32_update(crc, chunk);
                left -= chunk.size();
                if (!job.pipe->push({FolderPipe::Kind::data, std::move(chunk), {}}))
                    return;
            }
            if (file.crc && crc != *file.crc)
                return fail(encrypted ? wrong_password("\"" + entry.path + "\" fails its CRC")
                                      : corrupt("\"" + entry.path + "\" fails its CRC").error());
            if (!job.pipe->push({FolderPipe::Kind::end_of_file, {}, {}}))
                return;
        }
    } catch (const std::bad_alloc&) {
        fail(Error{ErrorCode::io, 0, "7z archive: not enough memory to extract"});
    } catch (const std::exception& e) {
        fail(Error{ErrorCode::internal, 0, std::string("7z archive: ") + e.what()});
    }
}

Result<void> Archive::read_entries(EntrySink& sink, const ReadOptions& options)
{
    State& state = *m_state;
    std::vector<std::size_t> selection;
    if (options.selection) {
        selection = *options.selection;
        std::sort(selection.begin(), selection.end());
        selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
        if (!selection.empty() && selection.back() >= state.entries.size())
            return make_error(ErrorCode::out_of_range,
                              "7z archive: entry " + std::to_string(selection.back()) + " does not exist");
    } else {
        selection.resize(state.entries.size());
        for (std::size_t i = 0; i < selection.size(); ++i)
            selection[i] = i;
    }

    std::uint64_t total = 0;
    for (std::size_t index : selection) {
        std::uint64_t size = state.entries[index].size;
        total = total + size < total ? UINT64_MAX : total + size; // a hostile header may claim anything
    }
    std::uint64_t position = 0;
    const std::size_t buffer_size = std::max<std::size_t>(options.buffer_size, 4096);

    auto keep_going = [&](const Entry& entry) -> Result<void> {
        if ((options.cancel && options.cancel->load(std::memory_order_relaxed)) ||
            (options.progress && !options.progress(entry, position, total)))
            return make_error(ErrorCode::cancelled, "7z extraction cancelled");
        return {};
    };

    // The folders in the order their files come; the files of a folder follow each other.
    std::vector<FolderJob> jobs;
    std::unordered_map<std::size_t, std::size_t> job_of_folder;
    bool encrypted = false;
    for (std::size_t index : selection) {
        const FileItem& file = state.database.files[state.entry_file[index]];
        if (!file.has_stream)
            continue;
        auto [it, added] = job_of_folder.emplace(file.folder, jobs.size());
        if (added) {
            jobs.push_back({file.folder, {}, nullptr});
            encrypted = encrypted || folder_is_encrypted(state.database.streams.folders[file.folder]);
        }
        jobs[it->second].entries.push_back(index);
    }

    // Decoders run ahead of this thread, which writes: independent folders in
    // parallel, one folder's decoding beside the writing of its files. The
    // password is asked for and keys are derived by one decoder only. The
    // folders that hold decoded data are the window's: the one being written
    // and one more than there are decoders, so that a decoder that finished
    // early finds the next folder open.
    SharedInput input(*state.input);
    unsigned decoders = encrypted ? 1u : std::clamp(std::thread::hardware_concurrency(), 1u, most_decoders);
    decoders = static_cast<unsigned>(std::min<std::size_t>(decoders, jobs.size()));
    DecodeWindow window(std::size_t{decoders} + 1);
    const std::size_t capacity = static_cast<std::size_t>(std::max<std::uint64_t>(
        std::uint64_t{least_chunks_ahead} * buffer_size, bytes_ahead / (std::uint64_t{decoders} + 1)));
    for (FolderJob& job : jobs)
        job.pipe = std::make_unique<FolderPipe>(capacity, buffer_size);
    std::atomic<std::size_t> next_job = 0;
    std::atomic<bool> stopping = false;
    std::vector<std::thread> threads;
    auto stop_decoders = [&] {
        stopping = true;
        window.stop();
        for (FolderJob& job : jobs)
            job.pipe->stop();
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    };
    struct StopOnExit {
        decltype(stop_decoders)& stop;
        ~StopOnExit() { stop(); }
    } stop_on_exit{stop_decoders};
    for (unsigned i = 0; i < decoders; ++i) {
        threads.emplace_back([&] {
            for (std::size_t j = next_job++; j < jobs.size() && !stopping; j = next_job++) {
                if (!window.wait_for(j))
                    return;
                decode_folder(jobs[j], input, buffer_size);
            }
        });
    }

    std::size_t writing = SIZE_MAX; // the folder job whose files this thread writes
    for (std::size_t index : selection) {
        const Entry& entry = state.entries[index];
        const FileItem& file = state.database.files[state.entry_file[index]];
        TRY(keep_going(entry));
        TRY(sink.begin(entry));
        auto body = [&]() -> Result<void> {
            if (!file.has_stream)
                return {};
            std::size_t job = job_of_folder.at(file.folder);
            if (job != writing) {
                if (writing < jobs.size())
                    jobs[writing].pipe->drop_spares();
                writing = job;
                window.advance(job);
            }
            FolderPipe& pipe = *jobs[job].pipe;
            for (;;) {
                FolderPipe::Event event = pipe.pop();
                if (event.kind == FolderPipe::Kind::end_of_file)
                    return {};
                if (event.kind == FolderPipe::Kind::failure)
                    return std::unexpected(std::move(event.error));
                TRY(sink.write(event.bytes));
                position += event.bytes.size();
                pipe.recycle(std::move(event.bytes));
                TRY(keep_going(entry));
            }
        };
        auto result = body();
        if (result)
            result = sink.commit(entry);
        if (!result) {
            sink.abort(entry);
            return result;
        }
    }
    return {};
}

} // namespace quillon::sevenzip
