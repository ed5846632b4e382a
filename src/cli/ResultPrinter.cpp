#include "ResultPrinter.h"

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "TWCategoryFiles.h"
#include "TWDuplicateFile.h"
#include "TWFileUtility.h"

namespace twcli {

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

void printText(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted) {
    for (const auto& category : categories) {
        if (category.groups.empty()) continue;
        fprintf(out, "== %s: %zu group%s, %s in copies\n", category.container->name().c_str(),
                category.groups.size(), category.groups.size() == 1 ? "" : "s",
                TWFileUtility::stringWithSize(category.container->sizeOfDuplicateFiles()).c_str());
        for (const auto& group : category.groups) {
            if (group->isSimilarGroup()) fprintf(out, "   (similar images)\n");
            for (const auto& file : group->itemsOfFileUtility())
                fprintf(out, "[%c] %10s  %s\n", file->isChecked() ? 'x' : ' ', file->formatSize().c_str(),
                        printablePath(file->filePath()).c_str());
            fputc('\n', out);
        }
    }
    if (interrupted) fprintf(out, "Interrupted: the result is partial.\n");
    fprintf(out, "%llu files scanned, %llu duplicates found, %s\n",
            static_cast<unsigned long long>(counters.filesScanned),
            static_cast<unsigned long long>(counters.duplicatesFound),
            TWFileUtility::stringWithSize(counters.duplicateBytes).c_str());
}

void printJson(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted) {
    using json = nlohmann::ordered_json;
    json root;
    root["counters"] = {{"filesScanned", counters.filesScanned},
                        {"duplicatesFound", counters.duplicatesFound},
                        {"duplicateBytes", counters.duplicateBytes}};
    json list = json::array();
    for (const auto& category : categories) {
        json groups = json::array();
        for (const auto& group : category.groups) {
            json files = json::array();
            for (const auto& file : group->itemsOfFileUtility()) {
                json entry;
                entry["path"] = file->filePath();  // invalid bytes become U+FFFD when dumped
                entry["size"] = file->fileSize();
                entry["checked"] = file->isChecked();
                if (!isValidUtf8(file->filePath())) entry["pathBase64"] = base64(file->filePath());
                files.push_back(std::move(entry));
            }
            groups.push_back({{"similar", group->isSimilarGroup()}, {"files", std::move(files)}});
        }
        list.push_back({{"category", static_cast<int64_t>(category.container->category())},
                        {"name", category.container->name()},
                        {"sizeOfDuplicates", category.container->sizeOfDuplicateFiles()},
                        {"sizeOfAllFiles", category.container->sizeOfAllFile()},
                        {"groups", std::move(groups)}});
    }
    root["categories"] = std::move(list);
    root["interrupted"] = interrupted;
    std::string text = root.dump(-1, ' ', false, json::error_handler_t::replace);
    fprintf(out, "%s\n", text.c_str());
}

}  // namespace twcli
