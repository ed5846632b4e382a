#pragma once
// A picture's signature for the scan, by the context's similar method: the one a cache
// of earlier scans (TWScanCache) holds for the file as it is now, else made by decoding
// the picture and handed to the cache. Without a cache it is always made.
//
// Safe from any thread (the cache and the context are).

#include <memory>

#include "files/TWFileUtility.h"
#include "files/TWScanCache.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

std::shared_ptr<ZPImageSignature> TWSignPictureRemembering(const TWFileUtility& record, const ZPSimilarContext& context,
                                                           TWScanCache* cache);
