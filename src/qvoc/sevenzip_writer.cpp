#include "qvoc/sevenzip_writer.h"

#include "base/crc32.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

// Property and section ids of the 7z header.
enum : std::uint8_t {
    id_end = 0x00,
    id_header = 0x01,
    id_main_streams_info = 0x04,
    id_files_info = 0x05,
    id_pack_info = 0x06,
    id_unpack_info = 0x07,
    id_substreams_info = 0x08,
    id_size = 0x09,
    id_crc = 0x0A,
    id_folder = 0x0B,
    id_coders_unpack_size = 0x0C,
    id_num_unpack_stream = 0x0D,
    id_empty_stream = 0x0E,
    id_empty_file = 0x0F,
    id_name = 0x11,
    id_modified_time = 0x14,
    id_win_attributes = 0x15,
};

constexpr unsigned char signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::size_t start_header_size = 32;
constexpr std::size_t copy_chunk = 1 << 20;

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t filetime_unix_epoch = 116444736000000000;

void append_u32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void append_u64(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Bit vectors are written most significant bit first.
std::string bit_vector(const std::vector<bool>& bits)
{
    std::string out((bits.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

void append_property(std::string& out, std::uint8_t id, const std::string& data)
{
    out.push_back(static_cast<char>(id));
    append_7z_number(out, data.size());
    out += data;
}

std::uint64_t filetime_of(fs::file_time_type time)
{
    auto since_unix = std::chrono::file_clock::to_sys(time).time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since_unix);
    std::int64_t value = ticks.count() + filetime_unix_epoch;
    return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

Result<void> collect(const fs::path& root, const fs::path& folder, std::vector<ArchiveItem>& items)
{
    std::error_code code;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
        children.push_back(it->path());
    if (code)
        return make_error(ErrorCode::io, "Cannot list the folder " + folder.string() + ": " + code.message());
    std::sort(children.begin(), children.end());

    for (const fs::path& child : children) {
        fs::file_status status = fs::status(child, code);
        if (code)
            return make_error(ErrorCode::io, "Cannot read " + child.string() + ": " + code.message());
        ArchiveItem item;
        item.name = fs::relative(child, root, code).generic_u16string();
        if (code)
            return make_error(ErrorCode::io, "Cannot name " + child.string() + " in the archive: " + code.message());
        item.modified = filetime_of(fs::last_write_time(child, code));
        if (code)
            return make_error(ErrorCode::io, "Cannot read the time of " + child.string() + ": " + code.message());
        bool writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
        if (fs::is_directory(status)) {
            item.directory = true;
            item.attributes = attribute_directory | (writable ? 0 : attribute_read_only);
            items.push_back(std::move(item));
            TRY(collect(root, child, items));
        } else if (fs::is_regular_file(status)) {
            item.source = child;
            item.size = fs::file_size(child, code);
            if (code)
                return make_error(ErrorCode::io, "Cannot read the size of " + child.string() + ": " + code.message());
            item.attributes = attribute_archive | (writable ? 0 : attribute_read_only);
            items.push_back(std::move(item));
        } else {
            return make_error(ErrorCode::unsupported, child.string() + " is neither a file nor a folder");
        }
    }
    return {};
}

std::string files_info(const std::vector<ArchiveItem>& items)
{
    std::string out;
    out.push_back(static_cast<char>(id_files_info));
    append_7z_number(out, items.size());
    if (items.empty()) {
        out.push_back(static_cast<char>(id_end));
        return out;
    }

    std::vector<bool> empty_stream;
    std::vector<bool> empty_file; // over the empty streams only: a file, not a folder
    for (const ArchiveItem& item : items) {
        bool empty = item.directory || item.size == 0;
        empty_stream.push_back(empty);
        if (empty)
            empty_file.push_back(!item.directory);
    }
    if (!empty_file.empty()) {
        append_property(out, id_empty_stream, bit_vector(empty_stream));
        if (std::find(empty_file.begin(), empty_file.end(), true) != empty_file.end())
            append_property(out, id_empty_file, bit_vector(empty_file));
    }

    std::string names(1, '\0'); // not external
    for (const ArchiveItem& item : items) {
        for (char16_t unit : item.name) {
            names.push_back(static_cast<char>(unit & 0xFF));
            names.push_back(static_cast<char>(unit >> 8));
        }
        names.append(2, '\0');
    }
    append_property(out, id_name, names);

    std::string times = {'\1', '\0'}; // all defined, not external
    for (const ArchiveItem& item : items)
        append_u64(times, item.modified);
    append_property(out, id_modified_time, times);

    std::string attributes = {'\1', '\0'};
    for (const ArchiveItem& item : items)
        append_u32(attributes, item.attributes);
    append_property(out, id_win_attributes, attributes);

    out.push_back(static_cast<char>(id_end));
    return out;
}

// One folder of the archive: its files' streams back to back in one packed
// stream, unpacked by one coder into as many substreams.
struct FolderRecord {
    CoderChain coders;
    std::uint64_t packed = 0;
    std::vector<std::uint64_t> sizes;
    std::vector<std::uint32_t> crcs;
    std::uint64_t unpacked() const
    {
        std::uint64_t total = 0;
        for (std::uint64_t size : sizes)
            total += size;
        return total;
    }
};

std::string coder_info(const CoderRecord& coder)
{
    std::string out;
    // Simple coder (one stream in, one out); the low bits give the id's length.
    auto flags = static_cast<std::uint8_t>(coder.method.size() | (coder.properties.empty() ? 0 : 0x20));
    out.push_back(static_cast<char>(flags));
    out += coder.method;
    if (!coder.properties.empty()) {
        append_7z_number(out, coder.properties.size());
        out += coder.properties;
    }
    return out;
}

std::string streams_info(const std::vector<FolderRecord>& folders)
{
    std::string out;
    out.push_back(static_cast<char>(id_main_streams_info));

    out.push_back(static_cast<char>(id_pack_info));
    append_7z_number(out, 0); // pack position
    append_7z_number(out, folders.size());
    out.push_back(static_cast<char>(id_size));
    for (const FolderRecord& folder : folders)
        append_7z_number(out, folder.packed);
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_unpack_info));
    out.push_back(static_cast<char>(id_folder));
    append_7z_number(out, folders.size());
    out.push_back('\0'); // not external
    for (const FolderRecord& folder : folders) {
        append_7z_number(out, folder.coders.size());
        for (const CoderRecord& coder : folder.coders)
            out += coder_info(coder);
        // A chain: coder i reads what coder i + 1 writes; the last one reads the packed stream.
        for (std::size_t i = 0; i + 1 < folder.coders.size(); ++i) {
            append_7z_number(out, i);
            append_7z_number(out, i + 1);
        }
    }
    out.push_back(static_cast<char>(id_coders_unpack_size));
    for (const FolderRecord& folder : folders)
        for (std::size_t i = 0; i < folder.coders.size(); ++i)
            append_7z_number(out, folder.unpacked()); // the converters keep the size
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_substreams_info));
    out.push_back(static_cast<char>(id_num_unpack_stream));
    for (const FolderRecord& folder : folders)
        append_7z_number(out, folder.sizes.size());
    // The sizes of all but each folder's last stream; none are written when every folder holds one.
    if (std::any_of(folders.begin(), folders.end(), [](const FolderRecord& f) { return f.sizes.size() > 1; })) {
        out.push_back(static_cast<char>(id_size));
        for (const FolderRecord& folder : folders)
            for (std::size_t i = 0; i + 1 < folder.sizes.size(); ++i)
                append_7z_number(out, folder.sizes[i]);
    }
    out.push_back(static_cast<char>(id_crc));
    out.push_back('\1'); // all defined
    for (const FolderRecord& folder : folders)
        for (std::uint32_t crc : folder.crcs)
            append_u32(out, crc);
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_end));
    return out;
}

// The files of one folder read one after the other, each checked against the
// size it was collected with, their CRCs taken on the way.
class FolderSource : public ByteSource {
public:
    explicit FolderSource(std::vector<const ArchiveItem*> items) : m_items(std::move(items)) {}

    Result<std::size_t> read(char* buffer, std::size_t size) override
    {
        while (m_index < m_items.size()) {
            const ArchiveItem& item = *m_items[m_index];
            if (!m_file.is_open()) {
                m_file.open(item.source, std::ios::binary);
                if (!m_file)
                    return make_error(ErrorCode::io, "Cannot open " + item.source.string());
                m_crc = 0;
                m_done = 0;
            }
            std::uint64_t left = item.size - m_done;
            m_file.read(buffer, static_cast<std::streamsize>(std::min<std::uint64_t>(size, left)));
            auto got = static_cast<std::size_t>(m_file.gcount());
            if (got > 0) {
                m_crc = crc32_update(m_crc, std::string_view(buffer, got));
                m_done += got;
                return got;
            }
            // At the collected size the file must end there too.
            if (m_done != item.size || m_file.peek() != std::char_traits<char>::eof())
                return make_error(ErrorCode::io, item.source.string() + " changed while it was being archived");
            m_crcs.push_back(m_crc);
            m_file.close();
            ++m_index;
        }
        return std::size_t{0};
    }
    const std::vector<std::uint32_t>& crcs() const { return m_crcs; }

private:
    std::vector<const ArchiveItem*> m_items;
    std::size_t m_index = 0;
    std::ifstream m_file;
    std::uint32_t m_crc = 0;
    std::uint64_t m_done = 0;
    std::vector<std::uint32_t> m_crcs;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::ofstream& out) : m_out(out) {}
    Result<void> write(std::string_view bytes) override
    {
        m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!m_out)
            return make_error(ErrorCode::io, "Cannot write the archive");
        m_written += bytes.size();
        return {};
    }
    std::uint64_t written() const { return m_written; }

private:
    std::ofstream& m_out;
    std::uint64_t m_written = 0;
};

// Stored: the Copy method, the bytes as they are.
Result<CoderChain> copy_folder(ByteSource& source, ByteSink& sink)
{
    std::string buffer(copy_chunk, '\0');
    for (;;) {
        std::size_t got = TRY(source.read(buffer.data(), buffer.size()));
        if (got == 0)
            return CoderChain{{std::string(1, '\0'), {}}};
        TRY(sink.write(std::string_view(buffer.data(), got)));
    }
}

// Programs and libraries: their code compresses better after the x86 branch converter.
bool is_x86_code(const ArchiveItem& item)
{
    std::u16string name = item.name;
    std::size_t dot = name.find_last_of(u'.');
    if (dot == std::u16string::npos)
        return false;
    std::string extension;
    for (char16_t unit : name.substr(dot + 1))
        extension.push_back(unit < 0x80 ? static_cast<char>(unit | 0x20) : '?');
    for (std::string_view known : {"exe", "dll", "sys", "ocx", "cpl", "scr", "drv", "com"})
        if (extension == known)
            return true;
    return false;
}

struct FolderPlan {
    std::vector<const ArchiveItem*> members;
    bool x86 = false;
};

// The non-empty files in folders of about block_size bytes or less (a file is
// never split), code apart from the rest when it gets the x86 converter.
// The folders of each kind share its bytes evenly, each file going to the
// share its middle falls in: the reader decodes folders in parallel, and a
// short last folder would leave a decoder idle while the others work.
std::vector<FolderPlan> folders_of(const std::vector<ArchiveItem>& items, std::uint64_t block_size, bool split_code)
{
    std::vector<FolderPlan> folders;
    for (bool code : {false, true}) {
        auto belongs = [&](const ArchiveItem& item) {
            return !item.directory && item.size != 0 && (split_code && is_x86_code(item)) == code;
        };
        std::uint64_t total = 0;
        for (const ArchiveItem& item : items)
            if (belongs(item))
                total += item.size;
        if (total == 0)
            continue;
        const std::uint64_t count = total / block_size + (total % block_size != 0);
        const std::uint64_t share = total / count + (total % count != 0);
        std::uint64_t offset = 0;
        std::uint64_t current = 0;
        std::size_t first = folders.size();
        for (const ArchiveItem& item : items) {
            if (!belongs(item))
                continue;
            std::uint64_t index = std::min(count - 1, (offset + item.size / 2) / share);
            if (folders.size() == first || index != current)
                folders.push_back(FolderPlan{{}, code});
            current = index;
            folders.back().members.push_back(&item);
            offset += item.size;
        }
    }
    return folders;
}

// The entries in the order the header lists them: the files of each folder in
// turn (the format assigns streams to files in entry order), then the folders
// and empty files.
std::vector<ArchiveItem> in_folder_order(const std::vector<FolderPlan>& folders, const std::vector<ArchiveItem>& items)
{
    std::vector<ArchiveItem> ordered;
    ordered.reserve(items.size());
    for (const FolderPlan& folder : folders)
        for (const ArchiveItem* item : folder.members)
            ordered.push_back(*item);
    for (const ArchiveItem& item : items)
        if (item.directory || item.size == 0)
            ordered.push_back(item);
    return ordered;
}

} // namespace

void append_7z_number(std::string& out, std::uint64_t value)
{
    // The count of leading one bits of the first byte is the count of bytes
    // that follow; the first byte's remaining bits are the value's top bits.
    for (int extra = 0; extra < 8; ++extra) {
        if (value < (std::uint64_t{1} << (7 * (extra + 1)))) {
            auto mask = static_cast<std::uint8_t>(0xFF00 >> extra);
            out.push_back(static_cast<char>(mask | (value >> (8 * extra))));
            for (int i = 0; i < extra; ++i)
                out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
            return;
        }
    }
    out.push_back(static_cast<char>(0xFF));
    append_u64(out, value);
}

Result<std::vector<ArchiveItem>> collect_archive_items(const fs::path& folder)
{
    std::vector<ArchiveItem> items;
    TRY(collect(folder, folder, items));
    return items;
}

Result<void> write_7z_archive(const fs::path& archive, const std::vector<ArchiveItem>& items,
                              const Compression& compression)
{
    if (compression.level != 0 && (compression.level < lowest_level || compression.level > highest_level))
        return make_error(ErrorCode::out_of_range,
                          "The compression level must be 0 to 9, not " + std::to_string(compression.level));
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    if (!out)
        return make_error(ErrorCode::io, "Cannot create " + archive.string());
    out.write(std::string(start_header_size, '\0').data(), start_header_size);

    bool split_code = compression.level != 0 && compression.x86_code && folder_filter_x86_available();
    std::vector<FolderPlan> plan = folders_of(items, std::max<std::uint64_t>(1, compression.block_size), split_code);
    std::vector<FolderRecord> folders;
    std::uint64_t packed = 0;
    for (const FolderPlan& planned : plan) {
        FolderRecord folder;
        for (const ArchiveItem* item : planned.members)
            folder.sizes.push_back(item->size);
        FolderSource source(planned.members);
        FileSink sink(out);
        if (compression.level == 0)
            folder.coders = TRY(copy_folder(source, sink));
        else
            folder.coders = TRY(encode_folder(source, sink, compression.level, planned.x86));
        folder.crcs = source.crcs();
        folder.packed = sink.written();
        packed += folder.packed;
        folders.push_back(std::move(folder));
    }

    std::string header;
    header.push_back(static_cast<char>(id_header));
    if (!folders.empty())
        header += streams_info(folders);
    header += files_info(in_folder_order(plan, items));
    header.push_back(static_cast<char>(id_end));
    out.write(header.data(), static_cast<std::streamsize>(header.size()));

    std::string next;
    append_u64(next, packed); // the header follows the packed streams
    append_u64(next, header.size());
    append_u32(next, crc32(header));
    std::string start(reinterpret_cast<const char*>(signature), sizeof signature);
    start.push_back('\0'); // format version 0.4
    start.push_back('\4');
    append_u32(start, crc32(next));
    start += next;
    out.seekp(0);
    out.write(start.data(), static_cast<std::streamsize>(start.size()));
    out.flush();
    if (!out)
        return make_error(ErrorCode::io, "Cannot write " + archive.string());
    return {};
}

} // namespace quillon::qvoc
