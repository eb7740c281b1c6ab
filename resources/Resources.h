#pragma once

#include <cstddef>
#include <cstdint>

// Files built into the program (images, layouts), found by number and type the way a
// Windows module's resources are: findResource(159, "PNG").

// The bytes of one resource. They live as long as the program; empty when not found.
struct ResourceBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;

    bool empty() const { return size == 0; }
    const uint8_t* begin() const { return data; }
    const uint8_t* end() const { return data + size; }
};

// The type is compared without regard to ASCII case ("PNG", "png"), as resource types are.
ResourceBytes findResource(uint32_t id, const char* type);

// The generated table behind findResource.
struct EmbeddedResource {
    uint16_t id;
    const char* type;
    const uint8_t* data;
    size_t size;
};
namespace resources {
extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;
}  // namespace resources
