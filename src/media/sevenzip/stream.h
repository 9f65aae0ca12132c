// Pull streams that the folder decoders are built from.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace quillon::sevenzip {

class Stream {
public:
    virtual ~Stream() = default;
    // Fills up to out.size() bytes and returns how many; 0 only at the end.
    virtual Result<std::size_t> read(std::span<std::byte> out) = 0;
};

// Reads until out is full; fewer bytes than asked means the data ended early.
inline Result<void> read_exact(Stream& stream, std::span<std::byte> out, const char* what)
{
    std::size_t done = 0;
    while (done < out.size()) {
        std::size_t n = TRY(stream.read(out.subspan(done)));
        if (n == 0)
            return make_error(ErrorCode::corrupt,
                              std::string("7z archive: ") + what + " ends before its declared size");
        done += n;
    }
    return {};
}

// A path for messages, in UTF-8 whatever the platform's narrow encoding.
inline std::string display_path(const std::filesystem::path& path)
{
    try {
        auto text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (...) {
        return "<unprintable path>";
    }
}

} // namespace quillon::sevenzip
