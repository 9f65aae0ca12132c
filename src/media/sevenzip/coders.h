// Methods and the decoder chain of one folder.
#pragma once

#include "media/sevenzip/header.h"
#include "media/sevenzip/input.h"
#include "media/sevenzip/sevenzip.h"
#include "media/sevenzip/stream.h"

#include <array>
#include <memory>
#include <span>
#include <string>

namespace quillon::sevenzip {

namespace method {
inline constexpr std::uint64_t copy = 0x00;
inline constexpr std::uint64_t delta = 0x03;
inline constexpr std::uint64_t bcj_x86_short = 0x04;
inline constexpr std::uint64_t lzma2 = 0x21;
inline constexpr std::uint64_t lzma = 0x030101;
inline constexpr std::uint64_t bcj_x86 = 0x03030103;
inline constexpr std::uint64_t aes = 0x06F10701;
} // namespace method

// "LZMA2", "PPMD", ... or "0x0401AB" for ids we do not know.
std::string method_name(std::uint64_t id);

// Supplies the 7zAES key for a salt and stretching count, asking for the
// password the first time.
class KeySource {
public:
    virtual ~KeySource() = default;
    virtual Result<std::array<std::byte, 32>> key(unsigned cycles_power, std::span<const std::byte> salt) = 0;
};

// The folder's unsupported method, if any, as ErrorCode::unsupported naming it.
Result<void> check_folder_supported(const Folder& folder);
bool folder_is_encrypted(const Folder& folder) noexcept;

// The decoded main stream of a folder.
Result<std::unique_ptr<Stream>> open_folder(const Database& database, std::size_t folder_index, InputSource& input,
                                            KeySource& keys, const Limits& limits);

// Individual coders, each taking ownership of its input.
std::unique_ptr<Stream> make_pack_stream(InputSource& input, std::uint64_t offset, std::uint64_t size);
Result<std::unique_ptr<Stream>> make_lzma_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                  std::uint64_t out_size, const Limits& limits);
Result<std::unique_ptr<Stream>> make_lzma2_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                   std::uint64_t out_size, const Limits& limits);
Result<std::unique_ptr<Stream>> make_bcj_x86_decoder(std::unique_ptr<Stream> input,
                                                     std::span<const std::byte> properties);
Result<std::unique_ptr<Stream>> make_delta_decoder(std::unique_ptr<Stream> input,
                                                   std::span<const std::byte> properties);
Result<std::unique_ptr<Stream>> make_aes_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                 std::uint64_t out_size, KeySource& keys, const Limits& limits);

// The 7zAES key: SHA-256 over 2^cycles_power rounds of salt, UTF-16LE password
// and a 64-bit little-endian round counter.
std::array<std::byte, 32> derive_aes_key(unsigned cycles_power, std::span<const std::byte> salt,
                                         std::u16string_view password);

} // namespace quillon::sevenzip
