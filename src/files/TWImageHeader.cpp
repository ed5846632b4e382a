#include "files/TWImageHeader.h"

#include "platform/MediaModule.h"
#include "platform/SafeFile.h"

TWSize TWImageHeader::pixelSizeOfFile(const std::string& path) {
    auto file = tw::SafeFile::open(path);
    if (!file || file->size() == 0) return {};
    const TWMediaFunctions* media = tw::mediaModule();
    if (!media) return {};
    const tw::MediaFileView view(*file);
    int width = 0, height = 0;
    media->pixelSize(view.get(), &width, &height);
    if (width <= 0 || height <= 0) return {};
    return TWSize{static_cast<double>(width), static_cast<double>(height)};
}
