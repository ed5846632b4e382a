#pragma once
// A media-library service held in memory, for tests: sources, groups and items built
// by the test; each value can be delivered at once, later (from another thread, after
// the first read found it absent), or never.

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/MediaLibraryService.h"

namespace twtest {

enum class Delivery { Immediate, Late, Never };

class InMemoryMediaObject : public tw::MediaObject {
public:
    InMemoryMediaObject(std::string id, std::string path, std::string source, bool refuseAccess = false)
        : id_(std::move(id)), path_(std::move(path)), source_(std::move(source)), refuse_(refuseAccess) {}
    std::string identifier() const override { return id_; }
    std::optional<std::string> filePath() const override { return path_; }
    std::string mediaSourceIdentifier() const override { return source_; }
    bool startAccessing() override;
    void stopAccessing() override { --openAccesses; }
    std::atomic<int> openAccesses{0};

private:
    std::string id_, path_, source_;
    bool refuse_;
};

// Shared behaviour: a value that is absent until delivered.
class LateValue {
public:
    explicit LateValue(Delivery delivery) : delivery_(delivery) {}
    // Whether the value may be read now; on the first absent read of a Late value,
    // starts its delivery on another thread (which then calls `deliver`).
    bool available(const std::function<void()>& deliver);

private:
    Delivery delivery_;
    std::atomic<bool> delivered_{false};
    std::atomic<bool> started_{false};
};

class InMemoryMediaGroup : public tw::MediaGroup, public std::enable_shared_from_this<InMemoryMediaGroup> {
public:
    explicit InMemoryMediaGroup(Delivery delivery = Delivery::Immediate) : late_(delivery) {}
    std::vector<std::shared_ptr<tw::MediaObject>> objects;
    std::vector<std::shared_ptr<tw::MediaGroup>> children;

    std::optional<std::vector<std::shared_ptr<tw::MediaObject>>> mediaObjects() override;
    std::vector<std::shared_ptr<tw::MediaGroup>> childGroups() override { return children; }

private:
    LateValue late_;
};

class InMemoryMediaSource : public tw::MediaSource, public std::enable_shared_from_this<InMemoryMediaSource> {
public:
    explicit InMemoryMediaSource(std::shared_ptr<tw::MediaGroup> root, Delivery delivery = Delivery::Immediate)
        : root_(std::move(root)), late_(delivery) {}
    std::shared_ptr<tw::MediaGroup> rootMediaGroup() override;

private:
    std::shared_ptr<tw::MediaGroup> root_;
    LateValue late_;
};

class InMemoryMediaLibrary : public tw::MediaLibrary, public std::enable_shared_from_this<InMemoryMediaLibrary> {
public:
    InMemoryMediaLibrary(std::map<std::string, std::shared_ptr<tw::MediaSource>> sources, Delivery delivery)
        : sources_(std::move(sources)), late_(delivery) {}
    std::optional<std::map<std::string, std::shared_ptr<tw::MediaSource>>> mediaSources() override;

private:
    std::map<std::string, std::shared_ptr<tw::MediaSource>> sources_;
    LateValue late_;
};

class InMemoryMediaLibraryService : public tw::MediaLibraryService {
public:
    std::map<std::string, std::shared_ptr<tw::MediaSource>> sources;
    Delivery sourcesDelivery = Delivery::Immediate;
    std::vector<std::vector<std::string>> requestedFilters;

    std::shared_ptr<tw::MediaLibrary> createLibrary(const std::vector<std::string>& sourceIdentifiers) override;
};

// Installs a service for the life of the object and restores the previous one.
class ScopedMediaLibraryService {
public:
    explicit ScopedMediaLibraryService(std::shared_ptr<tw::MediaLibraryService> service,
                                       std::chrono::milliseconds waitLimit = std::chrono::seconds(30));
    ~ScopedMediaLibraryService();

private:
    std::shared_ptr<tw::MediaLibraryService> previous_;
    std::chrono::milliseconds previousLimit_;
};

}  // namespace twtest
