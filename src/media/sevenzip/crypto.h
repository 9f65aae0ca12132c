// SHA-256 and AES-256 decryption, the primitives of 7z encryption.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon::sevenzip {

class Sha256 {
public:
    Sha256() noexcept { reset(); }
    void reset() noexcept;
    void update(std::span<const std::byte> data) noexcept;
    std::array<std::byte, 32> finish() noexcept;

private:
    void compress(const std::uint8_t* block) noexcept;

    std::array<std::uint32_t, 8> m_state{};
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_used = 0;
    std::uint64_t m_length = 0;
};

class Aes256Decryptor {
public:
    explicit Aes256Decryptor(std::span<const std::byte, 32> key) noexcept;

    void decrypt_block(const std::uint8_t in[16], std::uint8_t out[16]) const noexcept;

    // CBC in place over whole blocks; iv carries the chain to the next call.
    void decrypt_cbc(std::span<std::byte> data, std::array<std::uint8_t, 16>& iv) const noexcept;

private:
    std::array<std::uint32_t, 60> m_round_keys{};
};

} // namespace quillon::sevenzip
