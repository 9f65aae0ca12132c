// Opens arbitrary bytes as a 7z archive, lists it and decodes every entry into
// memory; a password is offered for encrypted ones. Seed with small archives,
// e.g. tests/data/media/*.7z.
#include "base/crc32.h"
#include "media/sevenzip/sevenzip.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace {

using namespace quillon;
using namespace quillon::sevenzip;

// Counts what it receives and stops a decode that grows past a bound, so that
// a tiny input claiming gigabytes of zeros does not stall the fuzzer.
class CountingSink final : public EntrySink {
public:
    Result<void> begin(const Entry& entry) override
    {
        if (entry.path.size() > 1 << 20)
            __builtin_trap(); // a path cannot outgrow the header it came from
        m_open = true;
        return {};
    }

    Result<void> write(std::span<const std::byte> data) override
    {
        if (!m_open)
            __builtin_trap();
        m_total += data.size();
        if (m_total > (std::uint64_t{8} << 20))
            return make_error(ErrorCode::cancelled, "enough");
        return {};
    }

    Result<void> commit(const Entry&) override
    {
        m_open = false;
        return {};
    }

    void abort(const Entry&) noexcept override { m_open = false; }

private:
    std::uint64_t m_total = 0;
    bool m_open = false;
};

std::uint64_t load64(const std::uint8_t* p)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= std::uint64_t{p[i]} << (8 * i);
    return value;
}

void store32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t crc_of(const std::uint8_t* p, std::size_t size)
{
    return crc32({reinterpret_cast<const std::byte*>(p), size});
}

// Mutations rarely keep a CRC right; without fixing them the fuzzer would
// never get past the start and next header checks into the parser.
void repair_header_crcs(std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() < 32 || std::memcmp(bytes.data(), "7z\xBC\xAF\x27\x1C", 6) != 0)
        return;
    std::uint64_t offset = load64(bytes.data() + 12);
    std::uint64_t size = load64(bytes.data() + 20);
    if (offset <= bytes.size() - 32 && size <= bytes.size() - 32 - offset)
        store32(bytes.data() + 28, crc_of(bytes.data() + 32 + offset, static_cast<std::size_t>(size)));
    store32(bytes.data() + 8, crc_of(bytes.data() + 12, 20));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    OpenOptions options;
    options.password = [] { return std::optional<std::u16string>(u"Quillon"); };
    options.limits.max_header_size = 16 << 20;
    options.limits.max_entries = 1 << 14;
    options.limits.max_dictionary = 64 << 20;
    options.limits.max_key_cycles_power = 19; // what 7-Zip writes; the seeds use it
    std::vector<std::uint8_t> bytes(data, data + size);
    repair_header_crcs(bytes);
    auto archive = Archive::open_memory({reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()}, options);
    if (!archive)
        return 0;
    std::uint64_t listed = 0;
    for (const auto& entry : archive->entries())
        listed += entry.path.size();
    (void)listed;
    CountingSink sink;
    ReadOptions read;
    read.buffer_size = 1 << 16;
    (void)archive->read(sink, read);
    return 0;
}
