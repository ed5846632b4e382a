#include "files/TWCategoryManager.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

namespace {

struct CategoryInfo {
    const char* name;
    int red, green, blue;  // 0..255
};

constexpr std::array<CategoryInfo, 8> kCategories = {{
    {"All", 223, 223, 223},
    {"Documents", 74, 144, 226},
    {"Images", 255, 156, 68},
    {"Music", 255, 68, 68},
    {"Videos", 60, 223, 206},
    {"Archives", 255, 223, 68},
    {"Packages", 116, 80, 229},
    {"Others", 155, 155, 155},
}};

std::string lowercased(std::string text) {
    // ASCII only: the lists are ASCII, and other bytes of a name must pass unchanged.
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string TWCategoryManager::descriptionOf(int64_t category) {
    if (category < TWCategory_allFiles || category > TWCategory_packages) return kCategories[TWCategory_others].name;
    return kCategories[static_cast<size_t>(category)].name;
}

std::vector<std::string> TWCategoryManager::categoryNames() {
    std::vector<std::string> names;
    for (const auto& info : kCategories) names.emplace_back(info.name);
    return names;
}

TWColor TWCategoryManager::colorOf(int64_t category) {
    if (category < TWCategory_allFiles || category > TWCategory_others) category = TWCategory_others;
    const auto& info = kCategories[static_cast<size_t>(category)];
    return TWColor{info.red / 255.0, info.green / 255.0, info.blue / 255.0, 1.0};
}

TWCategory TWCategoryManager::categoryOfFileExtension(const std::optional<std::string>& extension) {
    if (!extension || extension->empty()) return TWCategory_others;
    // Every file of a scan asks: one look-up in a table made from the lists once (a
    // walk through the lists cost a rescan a fourteenth of its time). The order decides
    // for extensions listed twice: "jar" is an archive, not a document.
    static const std::unordered_map<std::string, TWCategory> table = [] {
        std::unordered_map<std::string, TWCategory> made;
        const std::pair<const std::vector<std::string>*, TWCategory> lists[] = {
            {&arrayOfImageFileType(), TWCategory_images},       {&arrayOfCompressFileType(), TWCategory_archives},
            {&arrayOfDocumentFileType(), TWCategory_documents}, {&arrayOfMusicFileType(), TWCategory_music},
            {&arrayOfVideoFileType(), TWCategory_videos},       {&arrayOfPackageFileType(), TWCategory_packages}};
        for (const auto& [list, category] : lists)
            for (const std::string& listed : *list) made.emplace(listed, category);  // the first list keeps it
        return made;
    }();
    const auto found = table.find(lowercased(*extension));
    return found == table.end() ? TWCategory_others : found->second;
}

// The lists keep their repeated entries: callers show and count them as they stand.
const std::vector<std::string>& TWCategoryManager::arrayOfDocumentFileType() {
    static const std::vector<std::string> list = {
        "pdf",  "docx", "txt",  "doc",  "potx", "xls",  "chm",  "htm",  "html", "rtf",  "xlsx", "pptx",
        "xml",  "rtf",  "jar",  "key",  "djvu", "dwg",  "epub", "wps",  "odt",  "xps",  "oxps", "pages",
        "pst",  "rtf",  "rtfd", "vsd",  "vdx",  "vsdx", "wpd",  "dotx", "dot",  "docm", "dotm", "mht",
        "xltx", "xlt",  "csv",  "xlsb", "xlsm", "xltm", "xlam", "xla",  "mht",  "prn",  "dif",  "slk",
        "pot",  "ppsx", "pps",  "pptm", "potm", "ppsm", "thmx", "ppam", "ppa",  "dat",  "ppt"};
    return list;
}

const std::vector<std::string>& TWCategoryManager::arrayOfImageFileType() {
    static const std::vector<std::string> list = {
        "png",  "jpg",     "dng", "mrw",       "orf", "cr2", "sr2", "cr2", "nef", "gif", "tiff", "jpeg",
        "icns", "bmp",     "ico", "jpeg",      "pcx", "pic", "png", "psd", "raw", "tga", "wmf",  "jif",
        "iff",  "jpg2000", "svg", "scitex ct", "lic", "eps", "tga", "sai", "exr", "tif", "sgi"};
    return list;
}

const std::vector<std::string>& TWCategoryManager::arrayOfMusicFileType() {
    static const std::vector<std::string> list = {"amr", "au",  "aac", "ac3", "aiff", "ape", "caf",  "flac", "m4a",
                                                  "mka", "mp2", "mp3", "ogg", "wav",  "wma", "midi", "cda",  "aif"};
    return list;
}

const std::vector<std::string>& TWCategoryManager::arrayOfVideoFileType() {
    static const std::vector<std::string> list = {
        "webm", "mxf", "mp4", "flv",  "mov",  "wmv", "vob", "ts",  "swf", "tp",  "rmvb", "rm",    "mts", "mpg", "mpeg",
        "mod",  "mkv", "m4v", "m2ts", "divx", "avi", "asf", "amv", "3gp", "rmx", "ra",   "flash", "mid", "swf"};
    return list;
}

const std::vector<std::string>& TWCategoryManager::arrayOfCompressFileType() {
    static const std::vector<std::string> list = {"dmg", "pkg",     "zip",  "rar",   "iso", "cab", "7z",
                                                  "gz",  "tar",     "wim",  "xz",    "jar", "deb", "arj",
                                                  "bz2", "stufflt", "lzma", "bzip2", "gzip"};
    return list;
}

const std::vector<std::string>& TWCategoryManager::arrayOfPackageFileType() {
    static const std::vector<std::string> list = {"app", "bundle", "kext", "framework", "plugin"};
    return list;
}
