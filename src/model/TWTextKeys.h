#pragma once
// The text keys that the results lists search and sort by. Pure functions; safe from
// any thread. Every function accepts any bytes: text that is not valid UTF-8 never
// makes them fail.

#include <string>
#include <string_view>

// The search form of a text: case folded, canonically decomposed, combining marks
// (Unicode category Mn) dropped, so "Résumé" and "RESUME" both give "resume". A run of
// bytes that is not valid UTF-8 is kept byte for byte, so that two different invalid
// names never fold to the same text.
std::string TWFoldForSearch(std::string_view text);

// Whether `haystack` contains `needle` when both are compared in their search form.
// Callers that test many texts against one needle fold it once and use
// TWFoldedContains instead.
bool TWTextContainsIgnoringCaseAndDiacritics(std::string_view haystack, std::string_view needle);
inline bool TWFoldedContains(std::string_view foldedHaystack, std::string_view foldedNeedle) {
    return foldedHaystack.find(foldedNeedle) != std::string_view::npos;
}

// The lower-case form (Unicode lower-casing of valid runs, ASCII lower-casing of the
// bytes of invalid runs, which are otherwise kept).
std::string TWLowercase(std::string_view text);

// A key whose byte order (std::string's operator<) is the order of the current
// locale's collation (LC_COLLATE) of the case-folded text. Invalid UTF-8 sequences are
// replaced by U+FFFD first: such names still sort, next to each other.
std::string TWCollationKey(std::string_view text);
