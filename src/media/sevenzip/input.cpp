#include "media/sevenzip/input.h"

#include "media/sevenzip/stream.h"

#include <cstring>

namespace quillon::sevenzip {

namespace {

class FileInput final : public InputSource {
public:
    FileInput(std::ifstream stream, std::uint64_t size) : m_stream(std::move(stream)), m_size(size) {}

    std::uint64_t size() const noexcept override { return m_size; }

    Result<void> read_at(std::uint64_t offset, std::span<std::byte> out) override
    {
        if (offset > m_size || out.size() > m_size - offset)
            return make_error(ErrorCode::corrupt, "7z archive: the archive is truncated");
        // Sequential reads of a packed stream need no seek, which keeps the stream's buffer.
        if (offset != m_position) {
            m_stream.clear();
            m_stream.seekg(static_cast<std::streamoff>(offset));
        }
        m_stream.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        if (static_cast<std::size_t>(m_stream.gcount()) != out.size()) {
            m_position = ~std::uint64_t{0};
            return make_error(ErrorCode::io, "7z archive: reading the archive failed");
        }
        m_position = offset + out.size();
        return {};
    }

private:
    std::ifstream m_stream;
    std::uint64_t m_size;
    std::uint64_t m_position = 0;
};

class MemoryInput final : public InputSource {
public:
    explicit MemoryInput(std::span<const std::byte> bytes) noexcept : m_bytes(bytes) {}

    std::uint64_t size() const noexcept override { return m_bytes.size(); }

    Result<void> read_at(std::uint64_t offset, std::span<std::byte> out) override
    {
        if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset)
            return make_error(ErrorCode::corrupt, "7z archive: the archive is truncated");
        if (!out.empty())
            std::memcpy(out.data(), m_bytes.data() + offset, out.size());
        return {};
    }

private:
    std::span<const std::byte> m_bytes;
};

} // namespace

Result<std::unique_ptr<InputSource>> open_file_input(const std::filesystem::path& path)
{
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return make_error(ErrorCode::not_found, "7z archive not found: " + display_path(path));
    if (!std::filesystem::is_regular_file(status))
        return make_error(ErrorCode::io, "7z archive is not a file: " + display_path(path));
    std::uint64_t size = std::filesystem::file_size(path, error);
    if (error)
        return make_error(ErrorCode::io, "cannot read the size of " + display_path(path) + ": " + error.message());
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return make_error(ErrorCode::io, "cannot open the 7z archive " + display_path(path));
    return std::unique_ptr<InputSource>(new FileInput(std::move(stream), size));
}

std::unique_ptr<InputSource> memory_input(std::span<const std::byte> bytes)
{
    return std::make_unique<MemoryInput>(bytes);
}

} // namespace quillon::sevenzip
