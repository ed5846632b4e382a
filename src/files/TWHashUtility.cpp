#include "files/TWHashUtility.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

struct ChecksumFree {
    void operator()(GChecksum* checksum) const { g_checksum_free(checksum); }
};

}  // namespace

// GLib's MD5: GLib is loaded anyway, and a scan hashes at most two kilobytes of a file,
// where a faster implementation would not show while its library's pages would.
TWMD5 TWHashUtility::md5OfData(const void* bytes, size_t length) {
    // One checksum per thread, reset for every use.
    thread_local std::unique_ptr<GChecksum, ChecksumFree> checksum(g_checksum_new(G_CHECKSUM_MD5));
    TWMD5 digest{};
    gsize digestLength = digest.size();
    // Without a checksum (out of memory) there is no meaningful hash to absorb the
    // failure into: a programming error of the build, as before.
    if (!checksum) std::abort();
    g_checksum_reset(checksum.get());
    const auto* data = static_cast<const guchar*>(bytes);
    // g_checksum_update takes a signed length: large inputs go in pieces.
    while (length > 0) {
        const size_t piece = std::min<size_t>(length, 1u << 30);
        g_checksum_update(checksum.get(), data, static_cast<gssize>(piece));
        data += piece;
        length -= piece;
    }
    g_checksum_get_digest(checksum.get(), digest.data(), &digestLength);
    if (digestLength != digest.size()) std::abort();
    return digest;
}

std::string TWHashUtility::hexStringOfMD5(const TWMD5& digest) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(2 * digest.size(), '0');
    for (size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 0x0F];
    }
    return text;
}

std::optional<std::string> TWHashUtility::hashStringWithData(const std::optional<std::vector<unsigned char>>& data) {
    if (!data) return std::nullopt;
    return hashStringWithData(data->data(), data->size());
}

std::string TWHashUtility::hashStringWithData(const void* bytes, size_t length) {
    return hexStringOfMD5(md5OfData(bytes, length));
}

std::string TWHashUtility::hashStringWithString(const std::string& text) {
    return hashStringWithData(text.data(), text.size());
}
