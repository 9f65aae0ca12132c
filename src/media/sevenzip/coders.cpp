#include "media/sevenzip/coders.h"

#include "media/sevenzip/header_reader.h"

#include <algorithm>
#include <cstdio>

namespace quillon::sevenzip {

namespace {

struct MethodInfo {
    std::uint64_t id;
    const char* name;
    bool supported;
};

constexpr MethodInfo methods[] = {
    {method::copy, "Copy", true},   {method::delta, "Delta", true}, {method::bcj_x86_short, "BCJ", true},
    {method::bcj_x86, "BCJ", true}, {method::lzma2, "LZMA2", true}, {method::lzma, "LZMA", true},
    {method::aes, "7zAES", true},   {0x0303011B, "BCJ2", false},    {0x05, "PPC", false},
    {0x03030205, "PPC", false},     {0x06, "IA64", false},          {0x03030401, "IA64", false},
    {0x07, "ARM", false},           {0x03030501, "ARM", false},     {0x08, "ARMT", false},
    {0x03030701, "ARMT", false},    {0x09, "SPARC", false},         {0x03030805, "SPARC", false},
    {0x0A, "ARM64", false},         {0x0B, "RISCV", false},         {0x030401, "PPMD", false},
    {0x040108, "Deflate", false},   {0x040109, "Deflate64", false}, {0x040202, "BZip2", false},
    {0x04F71101, "ZSTD", false},
};

const MethodInfo* find_method(std::uint64_t id) noexcept
{
    for (const auto& info : methods)
        if (info.id == id)
            return &info;
    return nullptr;
}

class PackStream final : public Stream {
public:
    PackStream(InputSource& input, std::uint64_t offset, std::uint64_t size) noexcept
        : m_input(input), m_offset(offset), m_left(size)
    {
    }

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_left));
        if (n == 0)
            return 0;
        TRY(m_input.read_at(m_offset, out.first(n)));
        m_offset += n;
        m_left -= n;
        return n;
    }

private:
    InputSource& m_input;
    std::uint64_t m_offset;
    std::uint64_t m_left;
};

// Filters put out what they take in; the cipher drops the padding of its last block.
bool sizes_agree(std::uint64_t id, std::uint64_t in_size, std::uint64_t out_size) noexcept
{
    if (id == method::aes)
        return out_size <= in_size && in_size - out_size < 16;
    if (id == method::copy || id == method::delta || id == method::bcj_x86 || id == method::bcj_x86_short)
        return in_size == out_size;
    return true;
}

} // namespace

std::string method_name(std::uint64_t id)
{
    if (const MethodInfo* info = find_method(id))
        return info->name;
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(id));
    return text;
}

Result<void> check_folder_supported(const Folder& folder)
{
    for (const auto& coder : folder.coders) {
        const MethodInfo* info = find_method(coder.method);
        if (!info || !info->supported)
            return unsupported("the compression method " + method_name(coder.method) + " is not supported");
        if (coder.in_streams != 1 || coder.out_streams != 1)
            return unsupported("the method " + method_name(coder.method) + " with several streams is not supported");
    }
    return {};
}

bool folder_is_encrypted(const Folder& folder) noexcept
{
    return std::any_of(folder.coders.begin(), folder.coders.end(),
                       [](const Coder& coder) { return coder.method == method::aes; });
}

std::unique_ptr<Stream> make_pack_stream(InputSource& input, std::uint64_t offset, std::uint64_t size)
{
    return std::make_unique<PackStream>(input, offset, size);
}

Result<std::unique_ptr<Stream>> open_folder(const Database& database, std::size_t folder_index, InputSource& input,
                                            KeySource& keys, const Limits& limits)
{
    const Folder& folder = database.streams.folders.at(folder_index);
    TRY(check_folder_supported(folder));

    // With one input and one output per coder, coder i owns input i and output i,
    // and the bind pairs form a chain from the main output down to the packed stream.
    std::vector<std::size_t> chain;
    std::size_t coder = folder.main_output;
    for (;;) {
        if (chain.size() == folder.coders.size())
            return corrupt("a folder's coders form a cycle");
        chain.push_back(coder);
        auto bound = std::find_if(folder.bind_pairs.begin(), folder.bind_pairs.end(),
                                  [&](const BindPair& pair) { return pair.in_index == coder; });
        if (bound == folder.bind_pairs.end())
            break;
        coder = static_cast<std::size_t>(bound->out_index);
    }
    if (chain.size() != folder.coders.size() || folder.packed_streams.size() != 1 ||
        folder.packed_streams[0] != chain.back())
        return corrupt("a folder's coders are not connected");

    std::size_t pack_index = folder.first_pack_stream;
    std::uint64_t in_size = database.streams.pack_sizes[pack_index];
    std::unique_ptr<Stream> stream = make_pack_stream(input, database.pack_offsets[pack_index], in_size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Coder& c = folder.coders[*it];
        std::uint64_t out_size = folder.unpack_sizes[*it];
        if (!sizes_agree(c.method, in_size, out_size))
            return corrupt("the " + method_name(c.method) + " coder's sizes do not agree");
        switch (c.method) {
        case method::copy: break;
        case method::lzma: stream = TRY(make_lzma_decoder(std::move(stream), c.properties, out_size, limits)); break;
        case method::lzma2: stream = TRY(make_lzma2_decoder(std::move(stream), c.properties, out_size, limits)); break;
        case method::bcj_x86:
        case method::bcj_x86_short: stream = TRY(make_bcj_x86_decoder(std::move(stream), c.properties)); break;
        case method::delta: stream = TRY(make_delta_decoder(std::move(stream), c.properties)); break;
        case method::aes:
            stream = TRY(make_aes_decoder(std::move(stream), c.properties, out_size, keys, limits));
            break;
        default: return make_error(ErrorCode::internal, "7z method table and decoder switch disagree");
        }
        in_size = out_size;
    }
    return stream;
}

} // namespace quillon::sevenzip
