#include "cli/ResultPrinter.h"

#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "engine/TWMediaObjectUtility.h"
#include "files/TWFileUtility.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFile.h"

namespace twcli {

namespace {
// "  [in the Shotwell library]" after a library item's path; "" for a plain file.
std::string libraryNote(const TWFileUtility& file) {
    const auto* item = dynamic_cast<const TWMediaObjectUtility*>(&file);
    if (!item) return {};
    const std::string name = item->libraryName();
    return "  [in the " + (name.empty() ? std::string("media") : name) + " library]";
}
}  // namespace

std::string base64(const std::string& bytes) {
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    auto byte = [&](size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        for (int shift : {18, 12, 6, 0}) out.push_back(table[(v >> shift) & 63]);
    }
    if (i + 1 == bytes.size()) {
        unsigned v = byte(i) << 16;
        out += {table[(v >> 18) & 63], table[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        unsigned v = byte(i) << 16 | byte(i + 1) << 8;
        out += {table[(v >> 18) & 63], table[(v >> 12) & 63], table[(v >> 6) & 63], '='};
    }
    return out;
}

namespace {

// Beside a file that no removal may touch: why, and the link that led to it.
std::string refusalNote(const TWFileUtility& file) {
    if (file.isOutsideChosenFolders())
        return "  (through the link " + printablePath(file.linkPath()) + "; outside the chosen folders: never removed)";
    if (file.isInsideOverlayLayer()) return "  (inside a layer folder of an overlay mount: never removed)";
    return {};
}

}  // namespace

void printText(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted) {
    for (const auto& category : categories) {
        if (category.groups.empty()) continue;
        fprintf(out, "== %s: %zu group%s, %s in copies\n", category.container->name().c_str(), category.groups.size(),
                category.groups.size() == 1 ? "" : "s",
                TWFileUtility::stringWithSize(category.container->sizeOfDuplicateFiles()).c_str());
        for (const auto& group : category.groups) {
            if (group->isSimilarGroup()) fprintf(out, "   (similar images)\n");
            for (const auto& file : group->itemsOfFileUtility())
                fprintf(out, "[%c] %10s  %s%s%s\n", file->isChecked() ? 'x' : ' ', file->formatSize().c_str(),
                        printablePath(file->filePath()).c_str(), refusalNote(*file).c_str(),
                        libraryNote(*file).c_str());
            fputc('\n', out);
        }
    }
    if (interrupted) fprintf(out, "Interrupted: the result is partial.\n");
    fprintf(out, "%llu files scanned, %llu duplicates found, %s\n",
            static_cast<unsigned long long>(counters.filesScanned),
            static_cast<unsigned long long>(counters.duplicatesFound),
            TWFileUtility::stringWithSize(counters.duplicateBytes).c_str());
}

namespace {

// Whether `text` goes into a JSON string as it stands: valid UTF-8 without a byte the
// JSON writer escapes (a control character, '"', '\\').
bool isPlainJsonText(const std::string& text) {
    bool ascii = true;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == '"' || byte == '\\') return false;
        ascii = ascii && byte < 0x80;
    }
    return ascii || isValidUtf8(text);
}

// A JSON string, escaped as the library escapes it; bytes that are not UTF-8 become
// U+FFFD (the exact bytes go out beside it as base64).
void putJsonString(FILE* out, const std::string& text) {
    // Most paths need no escape and are written as they stand: a JSON value made and
    // dumped for each string was most of the cost of a scan's --json output.
    if (isPlainJsonText(text)) {
        fputc('"', out);
        fwrite(text.data(), 1, text.size(), out);
        fputc('"', out);
        return;
    }
    const std::string quoted =
        nlohmann::ordered_json(text).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    fwrite(quoted.data(), 1, quoted.size(), out);
}

// A path as "path" (invalid UTF-8 replaced) followed, when the path is not UTF-8, by
// ,"pathBase64" with its exact bytes.
void putJsonPath(FILE* out, const std::string& path) {
    putJsonString(out, path);
    if (!isValidUtf8(path)) fprintf(out, ",\"pathBase64\":\"%s\"", base64(path).c_str());
}

}  // namespace

// Written as it goes: a tree of the whole result would cost more memory than the scan
// that found it.
namespace {

// [{"path":...,"<key>":...},...], each path with its exact bytes beside it when it is
// not UTF-8.
void putEntries(FILE* out, const std::vector<TWScanReport::Entry>& entries, const char* key) {
    fputc('[', out);
    for (size_t i = 0; i < entries.size(); ++i) {
        fputs(i == 0 ? "{\"path\":" : ",{\"path\":", out);
        putJsonPath(out, entries[i].path);
        fprintf(out, ",\"%s\":", key);
        putJsonString(out, entries[i].text);
        fputc('}', out);
    }
    fputc(']', out);
}

}  // namespace

void printNotes(FILE* out, const ScanNotes& notes) {
    for (const auto& notice : notes.notices)
        fprintf(out, "note: %s %s\n", printablePath(notice.path).c_str(), notice.text.c_str());
    for (const auto& skipped : notes.skipped)
        fprintf(out, "skipped: %s: %s\n", printablePath(skipped.path).c_str(), skipped.text.c_str());
    if (notes.skippedCount > notes.skipped.size())
        fprintf(out, "skipped: %llu more paths not listed\n",
                static_cast<unsigned long long>(notes.skippedCount - notes.skipped.size()));
    if (notes.skippedCount > 0)
        fprintf(out, "%llu path%s could not be read.\n", static_cast<unsigned long long>(notes.skippedCount),
                notes.skippedCount == 1 ? "" : "s");
}

void printJson(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted, const ScanNotes& notes, bool close) {
    const auto number = [out](uint64_t value) { fprintf(out, "%llu", static_cast<unsigned long long>(value)); };
    const auto boolean = [out](bool value) { fputs(value ? "true" : "false", out); };
    fputs("{\"counters\":{\"filesScanned\":", out);
    number(counters.filesScanned);
    fputs(",\"duplicatesFound\":", out);
    number(counters.duplicatesFound);
    fputs(",\"duplicateBytes\":", out);
    number(counters.duplicateBytes);
    fputs("},\"skipped\":{\"count\":", out);
    number(notes.skippedCount);
    fputs(",\"paths\":", out);
    putEntries(out, notes.skipped, "reason");
    fputs("},\"notices\":", out);
    putEntries(out, notes.notices, "text");
    fputs(",\"categories\":[", out);
    bool firstCategory = true;
    for (const auto& category : categories) {
        if (!firstCategory) fputc(',', out);
        firstCategory = false;
        fprintf(out, "{\"category\":%lld,\"name\":", static_cast<long long>(category.container->category()));
        putJsonString(out, category.container->name());
        fputs(",\"sizeOfDuplicates\":", out);
        number(category.container->sizeOfDuplicateFiles());
        fputs(",\"sizeOfAllFiles\":", out);
        number(category.container->sizeOfAllFile());
        fputs(",\"groups\":[", out);
        bool firstGroup = true;
        for (const auto& group : category.groups) {
            if (!firstGroup) fputc(',', out);
            firstGroup = false;
            fputs("{\"similar\":", out);
            boolean(group->isSimilarGroup());
            fputs(",\"files\":[", out);
            bool firstFile = true;
            for (const auto& file : group->itemsOfFileUtility()) {
                if (!firstFile) fputc(',', out);
                firstFile = false;
                fputs("{\"path\":", out);
                putJsonString(out, file->filePath());
                fputs(",\"size\":", out);
                number(file->fileSize());
                fputs(",\"checked\":", out);
                boolean(file->isChecked());
                if (const auto* item = dynamic_cast<const TWMediaObjectUtility*>(file.get())) {
                    fputs(",\"library\":", out);
                    putJsonString(out, item->libraryName());
                }
                if (!isValidUtf8(file->filePath()))
                    fprintf(out, ",\"pathBase64\":\"%s\"", base64(file->filePath()).c_str());
                if (file->isOutsideChosenFolders()) {
                    const std::string link = file->linkPath();
                    fputs(",\"outsideChosenFolders\":true,\"linkPath\":", out);
                    putJsonString(out, link);
                    if (!isValidUtf8(link)) fprintf(out, ",\"linkPathBase64\":\"%s\"", base64(link).c_str());
                }
                if (file->isInsideOverlayLayer()) fputs(",\"insideOverlayLayer\":true", out);
                fputc('}', out);
            }
            fputs("]}", out);
        }
        fputs("]}", out);
    }
    fputs("],\"interrupted\":", out);
    boolean(interrupted);
    if (close) fputs("}\n", out);
}

void printJsonRemoval(FILE* out, const RemovalSummary& summary) {
    fputs(",\"removal\":{\"outcome\":", out);
    putJsonString(out, summary.outcome);
    fputs(",\"destination\":", out);
    putJsonString(out, summary.destination);
    if (!summary.folder.empty()) {
        fputs(",\"folder\":", out);
        putJsonString(out, summary.folder);
    }
    fprintf(out, ",\"removed\":%llu,\"failed\":%llu,\"bytesFreed\":%llu,\"cancelled\":%s,\"failures\":[",
            static_cast<unsigned long long>(summary.removed), static_cast<unsigned long long>(summary.failed),
            static_cast<unsigned long long>(summary.bytesFreed), summary.cancelled ? "true" : "false");
    for (size_t i = 0; i < summary.failures.size(); ++i) {
        fputs(i == 0 ? "{\"path\":" : ",{\"path\":", out);
        putJsonPath(out, summary.failures[i].path);
        fputs(",\"reason\":", out);
        putJsonString(out, summary.failures[i].reason);
        fputc('}', out);
    }
    fputs("]}}\n", out);
}

}  // namespace twcli
