#include "similar/ZPImageDecoder.h"

#include "platform/MediaModule.h"

void zpDestroyImage(gdImagePtr image) {
    // An image exists only where the module was loaded (or where the caller links libgd,
    // which the module then shares).
    if (const TWMediaFunctions* media = tw::mediaModule()) media->destroyImage(image);
}

ZPGdImage zpDecodeImage(const tw::SafeFile& file, const std::string& path) {
    const TWMediaFunctions* media = tw::mediaModule();
    if (!media) return nullptr;
    const tw::MediaFileView view(file);
    return ZPGdImage(media->decodeImage(view.get(), path.c_str()));
}
