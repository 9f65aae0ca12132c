#include "media/sevenzip/coders.h"
#include "base/crc32.h"
#include "media/sevenzip/crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon::test {
namespace {

using namespace sevenzip;

std::vector<std::uint8_t> from_hex(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

std::string to_hex(std::span<const std::byte> bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::byte b : bytes) {
        text += digits[std::to_integer<int>(b) >> 4];
        text += digits[std::to_integer<int>(b) & 15];
    }
    return text;
}

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

TEST(Sha256, MatchesThePublishedVectors)
{
    struct Case {
        std::string message;
        std::string_view digest;
    };
    const Case cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 60));
        Sha256 whole;
        whole.update(as_bytes(c.message));
        EXPECT_EQ(to_hex(whole.finish()), c.digest);
        // Fed in uneven pieces, across block boundaries.
        Sha256 pieces;
        for (std::size_t at = 0, step = 1; at < c.message.size(); at += step, step = step % 97 + 13)
            pieces.update(as_bytes(std::string_view(c.message).substr(at, step)));
        EXPECT_EQ(to_hex(pieces.finish()), c.digest);
    }
}

TEST(Aes256Decryptor, DecryptsTheFips197Example)
{
    auto key = from_hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    auto cipher = from_hex("8ea2b7ca516745bfeafc49904b496089");
    Aes256Decryptor aes(std::span<const std::byte, 32>(reinterpret_cast<const std::byte*>(key.data()), 32));
    std::uint8_t plain[16];
    aes.decrypt_block(cipher.data(), plain);
    EXPECT_EQ(to_hex(std::as_bytes(std::span(plain))), "00112233445566778899aabbccddeeff");
}

TEST(Aes256Decryptor, DecryptsCbcAcrossCallsAsTheSp80038aExample)
{
    auto key = from_hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    auto cipher = from_hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                           "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
    const std::string_view plain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                   "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
    Aes256Decryptor aes(std::span<const std::byte, 32>(reinterpret_cast<const std::byte*>(key.data()), 32));
    std::array<std::uint8_t, 16> iv{};
    for (int i = 0; i < 16; ++i)
        iv[i] = static_cast<std::uint8_t>(i);
    auto data = std::as_writable_bytes(std::span(cipher));
    aes.decrypt_cbc(data.first(16), iv); // the chain continues through iv
    aes.decrypt_cbc(data.subspan(16), iv);
    EXPECT_EQ(to_hex(data), plain);
}

TEST(Crc32, MatchesTheCheckValueWhetherWholeOrInPieces)
{
    EXPECT_EQ(crc32(as_bytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(std::span<const std::byte>()), 0u);
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += static_cast<char>(i * 131 + i / 7);
    std::uint32_t whole = crc32(as_bytes(data));
    for (std::size_t split : {1u, 7u, 8u, 9u, 500u, 999u}) {
        SCOPED_TRACE(split);
        std::uint32_t running = crc32_update(0, as_bytes(std::string_view(data).substr(0, split)));
        running = crc32_update(running, as_bytes(std::string_view(data).substr(split)));
        EXPECT_EQ(running, whole);
    }
}

TEST(DeriveAesKey, HashesSaltPasswordAndCounterForEveryRound)
{
    // Expected keys computed independently with Python's hashlib.
    struct Case {
        unsigned cycles_power;
        std::string_view key;
    };
    const Case cases[] = {
        {0, "3cc5ff1ffcb1f4c850e580e68e138c8ebc2e3827ddfddac984c3edef2f58247e"},
        {2, "872f6459aeb9d994d82b46850dc57d61b8bc95a9ccb6700bfe7d8d6c53cc244b"},
        {6, "fa8badaf7328f9235e9a7a84a73436153813920b3df63f4385609755cb583abe"},
        // 0x3F: no hashing, salt then the UTF-16LE password, zero-padded.
        {0x3F, "aabb700077000000000000000000000000000000000000000000000000000000"},
    };
    std::vector<std::byte> salt = {std::byte{0xAA}, std::byte{0xBB}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cycles_power);
        EXPECT_EQ(to_hex(derive_aes_key(c.cycles_power, salt, u"pw")), c.key);
    }
}

} // namespace
} // namespace quillon::test
