#include "engine/TWRememberedPictures.h"

namespace {

std::shared_ptr<ZPImageSignature> signatureOf(const TWFileUtility& record, TWScanCache::Signature kind,
                                              const TWScanCache::Picture& kept) {
    const uint8_t* bytes = kept.bytes.data();
    if (kind == TWScanCache::Signature::Look) {
        std::optional<ZPLookSignature> look = ZPLookSignature::fromBytes(bytes, kept.bytes.size());
        if (!look) return nullptr;
        return ZPImageSignature::withLook(record.filePath(), std::move(*look), kept.resolution, record.fileSize());
    }
    std::optional<PuzzleHistogram> histogram = puzzleHistogramFromBytes(bytes, kept.bytes.size());
    if (!histogram) return nullptr;
    return ZPImageSignature::withHistogram(record.filePath(), *histogram, kept.resolution, record.fileSize());
}

}  // namespace

std::shared_ptr<ZPImageSignature> TWSignPictureRemembering(const TWFileUtility& record, const ZPSimilarContext& context,
                                                           TWScanCache* cache) {
    const std::optional<TWScanCache::Stamp> stamp = cache ? TWScanCache::stampOf(record) : std::nullopt;
    if (!stamp) return ZPImageSignature::initWithPathFile(record.filePath(), context);
    const auto kind = context.similarMethod() == TWSimilarMethodLook ? TWScanCache::Signature::Look
                                                                     : TWScanCache::Signature::Histogram;
    if (std::optional<TWScanCache::Picture> kept = cache->recallPicture(*stamp, record.filePath(), kind))
        if (auto signature = signatureOf(record, kind, *kept)) return signature;

    auto signature = ZPImageSignature::initWithPathFile(record.filePath(), context);
    if (signature) {
        TWScanCache::Picture made{signature->resolution(), {}};
        made.bytes = signature->look() ? signature->look()->bytes() : puzzleHistogramBytes(signature->histogram());
        cache->rememberPicture(*stamp, record.filePath(), kind, made);
    }
    return signature;
}
