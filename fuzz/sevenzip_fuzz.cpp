// Opens arbitrary bytes as a 7z archive, lists it and decodes every entry into
// memory; a password is offered for encrypted ones. Seed with small archives,
// e.g. tests/data/media/*.7z.
#include "media/sevenzip/sevenzip.h"

#include <cstddef>
#include <cstdint>
#include <span>

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
        if (m_total > (std::uint64_t{64} << 20))
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    OpenOptions options;
    options.password = [] { return std::optional<std::u16string>(u"Quillon"); };
    options.limits.max_header_size = 16 << 20;
    options.limits.max_dictionary = 64 << 20;
    options.limits.max_key_cycles_power = 19; // what 7-Zip writes; the seeds use it
    auto archive = Archive::open_memory({reinterpret_cast<const std::byte*>(data), size}, options);
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
