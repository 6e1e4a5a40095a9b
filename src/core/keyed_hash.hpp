// SipHash-1-3: a keyed hash for tables whose keys come from outside.
//
// With a secret key drawn per table, whoever chooses the keys cannot predict
// which of them collide, so a table of hostile keys keeps its constant-time
// lookups. (A plain hash such as std::hash can be flooded with chosen
// collisions whatever is mixed into its result afterwards.)
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velmarin {

struct HashKey {
    std::uint64_t k0 = 0;
    std::uint64_t k1 = 0;
};

namespace detail {

struct SipState {
    std::uint64_t v0, v1, v2, v3;

    void round() noexcept {
        v0 += v1;
        v1 = std::rotl(v1, 13);
        v1 ^= v0;
        v0 = std::rotl(v0, 32);
        v2 += v3;
        v3 = std::rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = std::rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = std::rotl(v1, 17);
        v1 ^= v2;
        v2 = std::rotl(v2, 32);
    }

    void absorb(std::uint64_t word) noexcept {
        v3 ^= word;
        round();
        v0 ^= word;
    }
};

// Eight bytes as a little-endian word, whatever the machine's byte order.
inline std::uint64_t load_le(const unsigned char* bytes, std::size_t count) noexcept {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < count; ++i) word |= std::uint64_t{bytes[i]} << (8 * i);
    return word;
}

}  // namespace detail

inline std::uint64_t keyed_hash(HashKey key, std::string_view text) noexcept {
    detail::SipState s{key.k0 ^ 0x736f6d6570736575ULL, key.k1 ^ 0x646f72616e646f6dULL,
                       key.k0 ^ 0x6c7967656e657261ULL, key.k1 ^ 0x7465646279746573ULL};
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t whole = text.size() / 8 * 8;
    for (std::size_t at = 0; at < whole; at += 8) {
        std::uint64_t word;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&word, bytes + at, 8);
        } else {
            word = detail::load_le(bytes + at, 8);
        }
        s.absorb(word);
    }
    s.absorb(detail::load_le(bytes + whole, text.size() - whole) | (std::uint64_t{text.size()} << 56));
    s.v2 ^= 0xff;
    s.round();
    s.round();
    s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace velmarin
