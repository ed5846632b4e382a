#include "model/TWTextKeys.h"

#include <glib.h>

#include <memory>

namespace {

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<gchar, GFreeDeleter>;

bool isAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

void appendAsciiLower(std::string& out, std::string_view text) {
    for (char c : text) out.push_back(g_ascii_tolower(c));
}

// Folds one run of valid UTF-8. Case folding comes first because it may itself yield
// combining marks (U+0130 folds to "i" + U+0307), which the decomposition then exposes.
void appendFoldedValid(std::string& out, std::string_view run) {
    if (isAscii(run)) {
        appendAsciiLower(out, run);
        return;
    }
    GString_ folded(g_utf8_casefold(run.data(), static_cast<gssize>(run.size())));
    GString_ decomposed(g_utf8_normalize(folded.get(), -1, G_NORMALIZE_NFD));
    if (!decomposed) return;  // cannot happen for valid input
    for (const gchar* p = decomposed.get(); *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_type(c) == G_UNICODE_NON_SPACING_MARK) continue;
        out.append(p, g_utf8_next_char(p) - p);
    }
}

// Splits `text` into maximal valid runs and the invalid bytes between them.
template <typename ValidFn, typename InvalidFn>
void forEachRun(std::string_view text, ValidFn onValid, InvalidFn onInvalidByte) {
    while (!text.empty()) {
        const gchar* end = nullptr;
        g_utf8_validate(text.data(), static_cast<gssize>(text.size()), &end);
        const size_t validLength = static_cast<size_t>(end - text.data());
        if (validLength > 0) onValid(text.substr(0, validLength));
        if (validLength == text.size()) break;
        // A NUL byte stops g_utf8_validate too; it is kept like an invalid byte.
        onInvalidByte(text[validLength]);
        text.remove_prefix(validLength + 1);
    }
}

}  // namespace

std::string TWFoldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    if (isAscii(text)) {
        appendAsciiLower(out, text);
        return out;
    }
    forEachRun(
        text, [&](std::string_view run) { appendFoldedValid(out, run); }, [&](char byte) { out.push_back(byte); });
    return out;
}

bool TWTextContainsIgnoringCaseAndDiacritics(std::string_view haystack, std::string_view needle) {
    return TWFoldedContains(TWFoldForSearch(haystack), TWFoldForSearch(needle));
}

std::string TWLowercase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    if (isAscii(text)) {
        appendAsciiLower(out, text);
        return out;
    }
    forEachRun(
        text,
        [&](std::string_view run) {
            GString_ lower(g_utf8_strdown(run.data(), static_cast<gssize>(run.size())));
            out.append(lower.get());
        },
        [&](char byte) { out.push_back(g_ascii_tolower(byte)); });
    return out;
}

std::string TWCollationKey(std::string_view text) {
    GString_ valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    GString_ folded(g_utf8_casefold(valid.get(), -1));
    GString_ key(g_utf8_collate_key(folded.get(), -1));
    return std::string(key.get());
}
