#include "resources/Resources.h"

namespace {

bool sameType(const char* a, const char* b) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (lower(*a) != lower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

ResourceBytes findResource(uint32_t id, const char* type) {
    if (type == nullptr) {
        return {};
    }
    // A few dozen entries: a linear search costs nothing next to decoding what it finds.
    for (size_t i = 0; i < resources::kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& r = resources::kEmbeddedResources[i];
        if (r.id == id && sameType(r.type, type)) {
            return ResourceBytes{r.data, r.size};
        }
    }
    return {};
}
