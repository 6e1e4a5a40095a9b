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

// A key for a new table, which no one outside can predict: each thread
// draws one from the operating system's random source once, and every
// further table on the thread takes the next first key, which is as
// unpredictable as a fresh draw and costs nothing.
HashKey fresh_hash_key();

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
    detail::SipState s{key.k0 ^ 0x736f6d6570736575ULL, key.k1 ^ 0x646f72616e646f6dULL, key.k0 ^ 0x6c7967656e657261ULL,
                       key.k1 ^ 0x7465646279746573ULL};
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

// The hasher of an unordered container of text keys that come from outside,
// with a fresh key per table; it finds std::string keys by string_view.
// Deliberately not noexcept: libstdc++ then keeps each entry's hash beside
// it, so a probe compares the bytes only of matching hashes.
struct KeyedTextHash {
    using is_transparent = void;
    HashKey key = fresh_hash_key();
    std::size_t operator()(std::string_view text) const { return keyed_hash(key, text); }
};

}  // namespace velmarin
