#include "TWHashUtility.h"

#include <openssl/evp.h>

#include <cstdlib>

TWMD5 TWHashUtility::md5OfData(const void* bytes, size_t length) {
    TWMD5 digest{};
    unsigned digestLength = 0;
    // EVP fails only when out of memory or when MD5 is unavailable; neither can be
    // absorbed into a meaningful hash, so it is a programming error of the build.
    if (EVP_Digest(bytes, length, digest.data(), &digestLength, EVP_md5(), nullptr) != 1 ||
        digestLength != digest.size()) {
        std::abort();
    }
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
