#include "TWFileDigest.h"

#include "TWPackageTree.h"

std::optional<TWContentDigest> TWDigestOfOpenFile(const tw::SafeFile& file) {
    return TWPackageTree::digestOfDescriptor(file.fd());
}
