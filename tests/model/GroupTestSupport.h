#pragma once
// Records on real files for the group, container and rule suites: files of a given
// content, files whose creation times follow one another, images of a given size, and
// records of paths that do not exist (no size, no creation date).

#include <gd.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "model/TWDuplicateFile.h"

namespace grouptest {

using FilePtr = std::shared_ptr<TWFileUtility>;

inline FilePtr fileWith(const twtest::TempDir& dir, const std::string& relative, const std::string& content) {
    return TWFileUtility::initWithPath(dir.write(relative, content));
}

// A file of `size` bytes whose content is fixed by `seed`.
inline FilePtr fileOfSize(const twtest::TempDir& dir, const std::string& relative, size_t size, unsigned seed = 1) {
    return fileWith(dir, relative, twtest::randomBytes(size, seed));
}

// A record of a path that does not exist: size 0, no creation date, no identity.
inline FilePtr missingFile(const twtest::TempDir& dir, const std::string& relative) {
    return TWFileUtility::initWithPath(dir / relative);
}

// A file created strictly after `after` (by its recorded creation time): the file is
// made again until the clock has moved on.
inline FilePtr fileCreatedAfter(const twtest::TempDir& dir, const std::string& relative, const std::string& content,
                                const FilePtr& after) {
    for (int attempt = 0; attempt < 1000000; ++attempt) {
        const std::string path = dir / relative;
        unlink(path.c_str());
        FilePtr file = fileWith(dir, relative, content);
        if (!file->createTime()) break;
        if (!after || *file->createTime() > *after->createTime()) return file;
    }
    ADD_FAILURE() << "could not create " << relative << " with a later creation time";
    return nullptr;
}

// Files created one after another, each strictly later than the one before.
inline std::vector<FilePtr> filesInCreationOrder(const twtest::TempDir& dir, const std::vector<std::string>& names) {
    std::vector<FilePtr> files;
    for (const std::string& name : names) {
        files.push_back(fileCreatedAfter(dir, name, "same content", files.empty() ? nullptr : files.back()));
    }
    return files;
}

// A PNG image of the given pixel size.
inline FilePtr imageOfSize(const twtest::TempDir& dir, const std::string& relative, int width, int height) {
    gdImagePtr image = gdImageCreateTrueColor(width, height);
    std::string bytes = twtest::pngBytesOf(image);
    gdImageDestroy(image);
    return fileWith(dir, relative, bytes);
}

// A group of the given kind holding `files` in order.
inline TWDuplicateFile::Ptr groupOf(const std::vector<FilePtr>& files, bool similar = false) {
    TWDuplicateFile::Ptr group =
        similar ? TWDuplicateFile::initWithSimilarFile(files.at(0)) : TWDuplicateFile::initWithFile(files.at(0));
    for (size_t i = 1; i < files.size(); ++i) group->addFile(files[i]);
    return group;
}

// The members of `group` whose flag is clear.
inline std::vector<FilePtr> uncheckedOf(const TWDuplicateFile& group) {
    std::vector<FilePtr> out;
    for (const FilePtr& file : group.itemsOfFileUtility()) {
        if (!file->isChecked()) out.push_back(file);
    }
    return out;
}

}  // namespace grouptest
