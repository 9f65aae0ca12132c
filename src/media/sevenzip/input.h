// Random access to the archive's bytes: a file, or memory for fuzzing and embedding.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>

namespace quillon::sevenzip {

class InputSource {
public:
    virtual ~InputSource() = default;
    virtual std::uint64_t size() const noexcept = 0;
    // Fills all of out from offset; a short read is an error.
    virtual Result<void> read_at(std::uint64_t offset, std::span<std::byte> out) = 0;
};

Result<std::unique_ptr<InputSource>> open_file_input(const std::filesystem::path& path);
std::unique_ptr<InputSource> memory_input(std::span<const std::byte> bytes);

} // namespace quillon::sevenzip
