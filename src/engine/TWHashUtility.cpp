#include "TWHashUtility.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <memory>

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

std::string hexUpper(const unsigned char* digest, unsigned length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i) {
        text.push_back(kDigits[digest[i] >> 4]);
        text.push_back(kDigits[digest[i] & 0x0F]);
    }
    return text;
}

}  // namespace

std::optional<std::string> TWHashUtility::hashStringWithData(const std::optional<std::vector<unsigned char>>& data) {
    if (!data) return std::nullopt;
    return hashStringWithData(data->data(), data->size());
}

std::string TWHashUtility::hashStringWithData(const void* bytes, size_t length) {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> ctx(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned digestLength = 0;
    // EVP fails only when out of memory or when MD5 is unavailable; neither can be
    // absorbed into a meaningful hash, so it is a programming error of the build.
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1 ||
        (length > 0 && EVP_DigestUpdate(ctx.get(), bytes, length) != 1) ||
        EVP_DigestFinal_ex(ctx.get(), digest, &digestLength) != 1) {
        std::abort();
    }
    return hexUpper(digest, digestLength);
}

std::string TWHashUtility::hashStringWithString(const std::string& text) {
    return hashStringWithData(text.data(), text.size());
}
