#include "media/sevenzip/crypto.h"

#include <cstring>

namespace quillon::sevenzip {

namespace {

constexpr std::uint32_t rotr(std::uint32_t x, int n) noexcept
{
    return (x >> n) | (x << (32 - n));
}

constexpr std::uint32_t load_be32(const std::uint8_t* p) noexcept
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

constexpr void store_be32(std::uint8_t* p, std::uint32_t v) noexcept
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

constexpr std::uint32_t sha_k[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// AES tables, derived at compile time from GF(2^8) arithmetic.
constexpr std::uint8_t gf_mul(std::uint8_t a, std::uint8_t b) noexcept
{
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1)
            product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
        b >>= 1;
    }
    return product;
}

struct AesTables {
    std::uint8_t sbox[256]{};
    std::uint8_t inverse_sbox[256]{};
    std::uint32_t td[4][256]{};
};

constexpr AesTables make_aes_tables()
{
    AesTables t{};
    // Powers of the generator 3 give logarithms, and with them inverses.
    std::uint8_t power[255]{};
    std::uint8_t log[256]{};
    std::uint8_t value = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = value;
        log[value] = static_cast<std::uint8_t>(i);
        value = gf_mul(value, 3);
    }
    for (int x = 0; x < 256; ++x) {
        std::uint8_t inverse = x == 0 ? 0 : power[(255 - log[x]) % 255];
        std::uint8_t s = inverse;
        std::uint8_t result = 0x63;
        for (int i = 0; i < 5; ++i) {
            result ^= s;
            s = static_cast<std::uint8_t>((s << 1) | (s >> 7));
        }
        t.sbox[x] = result;
        t.inverse_sbox[result] = static_cast<std::uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        std::uint8_t s = t.inverse_sbox[x];
        std::uint32_t word = std::uint32_t{gf_mul(s, 0x0E)} << 24 | std::uint32_t{gf_mul(s, 0x09)} << 16 |
                             std::uint32_t{gf_mul(s, 0x0D)} << 8 | gf_mul(s, 0x0B);
        for (int k = 0; k < 4; ++k)
            t.td[k][x] = k == 0 ? word : rotr(word, 8 * k);
    }
    return t;
}

constexpr AesTables aes = make_aes_tables();

std::uint32_t sub_word(std::uint32_t w) noexcept
{
    return std::uint32_t{aes.sbox[w >> 24]} << 24 | std::uint32_t{aes.sbox[(w >> 16) & 0xFF]} << 16 |
           std::uint32_t{aes.sbox[(w >> 8) & 0xFF]} << 8 | aes.sbox[w & 0xFF];
}

std::uint32_t inverse_mix_column(std::uint32_t w) noexcept
{
    return aes.td[0][aes.sbox[w >> 24]] ^ aes.td[1][aes.sbox[(w >> 16) & 0xFF]] ^ aes.td[2][aes.sbox[(w >> 8) & 0xFF]] ^
           aes.td[3][aes.sbox[w & 0xFF]];
}

} // namespace

void Sha256::reset() noexcept
{
    m_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    m_used = 0;
    m_length = 0;
}

void Sha256::compress(const std::uint8_t* block) noexcept
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = load_be32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    std::uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + sha_k[i] + w[i];
        std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    m_state[5] += f;
    m_state[6] += g;
    m_state[7] += h;
}

void Sha256::update(std::span<const std::byte> data) noexcept
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t size = data.size();
    m_length += size;
    while (size > 0) {
        if (m_used == 0 && size >= 64) {
            compress(p);
            p += 64;
            size -= 64;
            continue;
        }
        std::size_t take = std::min(size, 64 - m_used);
        std::memcpy(m_block.data() + m_used, p, take);
        m_used += take;
        p += take;
        size -= take;
        if (m_used == 64) {
            compress(m_block.data());
            m_used = 0;
        }
    }
}

std::array<std::byte, 32> Sha256::finish() noexcept
{
    std::uint64_t bits = m_length * 8;
    m_block[m_used++] = 0x80;
    if (m_used > 56) {
        std::memset(m_block.data() + m_used, 0, 64 - m_used);
        compress(m_block.data());
        m_used = 0;
    }
    std::memset(m_block.data() + m_used, 0, 56 - m_used);
    for (int i = 0; i < 8; ++i)
        m_block[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    compress(m_block.data());
    std::array<std::byte, 32> digest{};
    for (int i = 0; i < 8; ++i)
        store_be32(reinterpret_cast<std::uint8_t*>(digest.data()) + 4 * i, m_state[i]);
    reset();
    return digest;
}

Aes256Decryptor::Aes256Decryptor(std::span<const std::byte, 32> key) noexcept
{
    // Encryption schedule first (FIPS-197 5.2, Nk = 8), then the equivalent
    // inverse cipher's schedule: rounds reversed, inner keys through InvMixColumns.
    std::array<std::uint32_t, 60> w{};
    const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
    for (int i = 0; i < 8; ++i)
        w[i] = load_be32(k + 4 * i);
    std::uint32_t rcon = 0x01;
    for (int i = 8; i < 60; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % 8 == 0) {
            temp = sub_word((temp << 8) | (temp >> 24)) ^ (rcon << 24);
            rcon = gf_mul(static_cast<std::uint8_t>(rcon), 2);
        } else if (i % 8 == 4) {
            temp = sub_word(temp);
        }
        w[i] = w[i - 8] ^ temp;
    }
    for (int round = 0; round <= 14; ++round)
        for (int c = 0; c < 4; ++c) {
            std::uint32_t word = w[4 * (14 - round) + c];
            m_round_keys[4 * round + c] = (round == 0 || round == 14) ? word : inverse_mix_column(word);
        }
}

void Aes256Decryptor::decrypt_block(const std::uint8_t in[16], std::uint8_t out[16]) const noexcept
{
    const std::uint32_t* rk = m_round_keys.data();
    std::uint32_t s0 = load_be32(in) ^ rk[0];
    std::uint32_t s1 = load_be32(in + 4) ^ rk[1];
    std::uint32_t s2 = load_be32(in + 8) ^ rk[2];
    std::uint32_t s3 = load_be32(in + 12) ^ rk[3];
    const auto& td = aes.td;
    for (int round = 1; round < 14; ++round) {
        rk += 4;
        std::uint32_t t0 =
            td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xFF] ^ td[2][(s2 >> 8) & 0xFF] ^ td[3][s1 & 0xFF] ^ rk[0];
        std::uint32_t t1 =
            td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xFF] ^ td[2][(s3 >> 8) & 0xFF] ^ td[3][s2 & 0xFF] ^ rk[1];
        std::uint32_t t2 =
            td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xFF] ^ td[2][(s0 >> 8) & 0xFF] ^ td[3][s3 & 0xFF] ^ rk[2];
        std::uint32_t t3 =
            td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xFF] ^ td[2][(s1 >> 8) & 0xFF] ^ td[3][s0 & 0xFF] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const auto* si = aes.inverse_sbox;
    auto last = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t key) {
        return (std::uint32_t{si[a >> 24]} << 24 | std::uint32_t{si[(b >> 16) & 0xFF]} << 16 |
                std::uint32_t{si[(c >> 8) & 0xFF]} << 8 | si[d & 0xFF]) ^
               key;
    };
    store_be32(out, last(s0, s3, s2, s1, rk[0]));
    store_be32(out + 4, last(s1, s0, s3, s2, rk[1]));
    store_be32(out + 8, last(s2, s1, s0, s3, rk[2]));
    store_be32(out + 12, last(s3, s2, s1, s0, rk[3]));
}

void Aes256Decryptor::decrypt_cbc(std::span<std::byte> data, std::array<std::uint8_t, 16>& iv) const noexcept
{
    auto* p = reinterpret_cast<std::uint8_t*>(data.data());
    for (std::size_t offset = 0; offset + 16 <= data.size(); offset += 16) {
        std::uint8_t cipher[16];
        std::uint8_t plain[16];
        std::memcpy(cipher, p + offset, 16);
        decrypt_block(cipher, plain);
        for (int i = 0; i < 16; ++i)
            p[offset + i] = plain[i] ^ iv[i];
        std::memcpy(iv.data(), cipher, 16);
    }
}

} // namespace quillon::sevenzip
