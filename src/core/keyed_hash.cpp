#include "core/keyed_hash.hpp"

#include <sys/random.h>

#include <random>

namespace velmarin {

namespace {

HashKey draw_from_os() {
    HashKey key;
    if (getentropy(&key, sizeof key) == 0) return key;
    std::random_device device;  // a system without getentropy
    key.k0 = (std::uint64_t{device()} << 32) | device();
    key.k1 = (std::uint64_t{device()} << 32) | device();
    return key;
}

}  // namespace

HashKey fresh_hash_key() {
    thread_local HashKey key = draw_from_os();
    HashKey taken = key;
    ++key.k0;
    return taken;
}

}  // namespace velmarin
