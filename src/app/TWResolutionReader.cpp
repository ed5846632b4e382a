#include "app/TWResolutionReader.h"

#include "files/TWFileUtility.h"

namespace {

// Records of earlier results are let go of from time to time.
constexpr size_t kPruneAt = 4096;

}  // namespace

TWResolutionReader* TWResolutionReader::shared() {
    return TWSharedInstance<TWResolutionReader>::get();
}

void TWResolutionReader::resetShared() {
    TWSharedInstance<TWResolutionReader>::reset();
}

TWResolutionReader::TWResolutionReader() {
    // Header reads are short; one worker keeps them from crowding the scan's readers.
    pool_.setMaxThreadCount(1);
}

TWResolutionReader::~TWResolutionReader() {
    pool_.clear();
    pool_.waitForDone();
}

QString TWResolutionReader::resolutionText(const std::shared_ptr<TWFileUtility>& file) {
    if (!file) return {};
    if (file->category() != TWCategory_images || !file->storedResolution().isZero())
        return QString::fromStdString(file->formatResolution());
    auto it = asked_.find(file.get());
    if (it != asked_.end() && it->second.file.lock() == file)
        return it->second.done ? QString::fromStdString(file->formatResolution()) : QStringLiteral("…");
    if (asked_.size() >= kPruneAt) std::erase_if(asked_, [](const auto& entry) { return entry.second.file.expired(); });
    asked_[file.get()] = Asked{file, false};
    ++pending_;
    pool_.start([this, file] {
        file->resolution();
        const QString path = QString::fromStdString(file->filePath());
        QMetaObject::invokeMethod(
            this,
            [this, record = file.get(), path] {
                if (auto found = asked_.find(record); found != asked_.end()) found->second.done = true;
                --pending_;
                emit resolutionReady(path);
            },
            Qt::QueuedConnection);
    });
    return QStringLiteral("…");
}
