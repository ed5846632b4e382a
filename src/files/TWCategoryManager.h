#pragma once
// File categories: the enumeration with display names, colours and extension lists.
// Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum TWCategory : int64_t {
    TWCategory_allFiles = 0,  // the union, in the views only; no file has it
    TWCategory_documents = 1,
    TWCategory_images = 2,
    TWCategory_music = 3,
    TWCategory_videos = 4,
    TWCategory_archives = 5,
    TWCategory_packages = 6,
    TWCategory_others = 7,
};

struct TWColor {
    double red = 0, green = 0, blue = 0, alpha = 1.0;  // 0..1, device RGB
};

class TWCategoryManager {
public:
    // Display name; any value outside 0..6 gives "Others".
    static std::string descriptionOf(int64_t category);
    static std::string nameOf(int64_t category) { return descriptionOf(category); }
    static std::vector<std::string> categoryNames();  // values 0..7 in order
    // Only 0..7 are valid; others answer the "Others" colour.
    static TWColor colorOf(int64_t category);
    // No extension (nullopt or empty) gives Others; else lower-cased and tested against
    // images, archives, documents, music, videos, packages in that order.
    static TWCategory categoryOfFileExtension(const std::optional<std::string>& extension);

    static const std::vector<std::string>& arrayOfDocumentFileType();
    static const std::vector<std::string>& arrayOfImageFileType();
    static const std::vector<std::string>& arrayOfMusicFileType();
    static const std::vector<std::string>& arrayOfVideoFileType();
    static const std::vector<std::string>& arrayOfCompressFileType();
    static const std::vector<std::string>& arrayOfPackageFileType();
};
