#include "TWFileDigest.h"

#include <xxhash.h>

#include <memory>
#include <vector>

std::optional<TWContentDigest> TWDigestOfOpenFile(const tw::SafeFile& file) {
    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state(XXH3_createState(), XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK) return std::nullopt;
    std::vector<unsigned char> chunk(1 << 20);
    for (uint64_t offset = 0;;) {
        long n = file.readAt(offset, chunk.data(), chunk.size());
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        XXH3_128bits_update(state.get(), chunk.data(), static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
    }
    XXH128_hash_t value = XXH3_128bits_digest(state.get());
    return TWContentDigest{value.high64, value.low64};
}
