#include "LibraryContent.h"

namespace tw {

LibraryGroupTree& LibraryGroupTree::child(const std::string& name) {
    for (LibraryGroupTree& group : children)
        if (group.name == name) return group;
    children.push_back(LibraryGroupTree{name, {}, {}});
    return children.back();
}

void LibraryGroupTree::add(const std::vector<std::string>& components, size_t item) {
    if (components.empty()) {
        items.push_back(item);
        return;
    }
    LibraryGroupTree& second = child(components[0]);
    if (components.size() == 1) {
        second.items.push_back(item);
        return;
    }
    std::string folded = components[1];
    second.child(folded).items.push_back(item);
}

std::vector<std::string> splitLibraryPath(const std::string& path) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) components.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return components;
}

}  // namespace tw
