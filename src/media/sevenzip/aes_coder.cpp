// 7zAES: AES-256 in CBC mode with a key stretched from the password by SHA-256.
#include "media/sevenzip/coders.h"
#include "media/sevenzip/crypto.h"
#include "media/sevenzip/header_reader.h"

#include <cstring>

namespace quillon::sevenzip {

namespace {

class AesStream final : public Stream {
public:
    AesStream(std::unique_ptr<Stream> input, const std::array<std::byte, 32>& key,
              const std::array<std::uint8_t, 16>& iv, std::uint64_t out_size)
        : m_input(std::move(input)), m_cipher(key), m_iv(iv), m_left(out_size)
    {
    }

    // Only the declared size is handed out: the rest of the last block is padding.
    Result<std::size_t> read(std::span<std::byte> out) override
    {
        out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_left)));
        std::size_t done = TRY(decrypt(out));
        m_left -= done;
        return done;
    }

private:
    Result<std::size_t> decrypt(std::span<std::byte> out)
    {
        // Decrypt whole blocks straight into out; a block split by the caller's
        // size waits in m_partial.
        std::size_t done = 0;
        while (done < out.size()) {
            if (m_partial_begin < m_partial_end) {
                std::size_t n = std::min(out.size() - done, m_partial_end - m_partial_begin);
                std::memcpy(out.data() + done, m_partial.data() + m_partial_begin, n);
                m_partial_begin += n;
                done += n;
                continue;
            }
            if (m_ended)
                break;
            std::size_t want = (out.size() - done) & ~std::size_t{15};
            std::span<std::byte> target = want > 0 ? out.subspan(done, want) : std::span<std::byte>(m_partial);
            std::size_t got = 0;
            while (got < target.size()) {
                std::size_t n = TRY(m_input->read(target.subspan(got)));
                if (n == 0) {
                    m_ended = true;
                    break;
                }
                got += n;
                if (got % 16 == 0)
                    break;
            }
            if (got % 16 != 0)
                return corrupt("the encrypted data is not a whole number of blocks");
            m_cipher.decrypt_cbc(target.first(got), m_iv);
            if (want > 0) {
                done += got;
                if (got == 0)
                    break;
            } else {
                m_partial_begin = 0;
                m_partial_end = got;
            }
        }
        return done;
    }

    std::unique_ptr<Stream> m_input;
    Aes256Decryptor m_cipher;
    std::array<std::uint8_t, 16> m_iv;
    std::array<std::byte, 16> m_partial{};
    std::size_t m_partial_begin = 0;
    std::size_t m_partial_end = 0;
    bool m_ended = false;
    std::uint64_t m_left;
};

} // namespace

std::array<std::byte, 32> derive_aes_key(unsigned cycles_power, std::span<const std::byte> salt,
                                         std::u16string_view password)
{
    std::vector<std::byte> secret(password.size() * 2);
    for (std::size_t i = 0; i < password.size(); ++i) {
        secret[2 * i] = static_cast<std::byte>(password[i] & 0xFF);
        secret[2 * i + 1] = static_cast<std::byte>(password[i] >> 8);
    }
    std::array<std::byte, 32> key{};
    if (cycles_power == 0x3F) {
        // No stretching: salt and password themselves, cut to the key size.
        std::size_t n = 0;
        for (std::byte b : salt)
            if (n < key.size())
                key[n++] = b;
        for (std::byte b : secret)
            if (n < key.size())
                key[n++] = b;
        return key;
    }
    // Salt, password and counter are hashed as one run of bytes per round;
    // building the run once and patching the counter keeps the loop tight.
    std::vector<std::byte> round(salt.begin(), salt.end());
    round.insert(round.end(), secret.begin(), secret.end());
    std::size_t counter_at = round.size();
    round.resize(round.size() + 8);
    Sha256 sha;
    const std::uint64_t rounds = std::uint64_t{1} << cycles_power;
    for (std::uint64_t i = 0; i < rounds; ++i) {
        for (int b = 0; b < 8; ++b)
            round[counter_at + b] = static_cast<std::byte>(i >> (8 * b));
        sha.update(round);
    }
    return sha.finish();
}

Result<std::unique_ptr<Stream>> make_aes_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                 std::uint64_t out_size, KeySource& keys, const Limits& limits)
{
    // Properties: bits 0-5 of the first byte give the cycles power; bits 7 and 6
    // add one to the salt and IV sizes, whose other parts are the second byte's nibbles.
    HeaderReader reader(properties);
    std::uint8_t first = TRY(reader.byte());
    unsigned cycles_power = first & 0x3F;
    std::size_t salt_size = 0;
    std::size_t iv_size = 0;
    if (first & 0xC0) {
        std::uint8_t second = TRY(reader.byte());
        salt_size = ((first >> 7) & 1) + (second >> 4);
        iv_size = ((first >> 6) & 1) + (second & 0x0F);
    }
    if (salt_size > 16 || iv_size > 16)
        return corrupt("the encryption properties are invalid");
    auto salt = TRY(reader.bytes(salt_size));
    auto iv_bytes = TRY(reader.bytes(iv_size));
    if (!reader.at_end())
        return corrupt("the encryption properties are invalid");
    if (cycles_power != 0x3F && cycles_power > limits.max_key_cycles_power)
        return unsupported("the key stretching of 2^" + std::to_string(cycles_power) + " rounds exceeds the limit");
    std::array<std::uint8_t, 16> iv{};
    std::memcpy(iv.data(), iv_bytes.data(), iv_bytes.size());
    auto key = TRY(keys.key(cycles_power, salt));
    return std::unique_ptr<Stream>(new AesStream(std::move(input), key, iv, out_size));
}

} // namespace quillon::sevenzip
