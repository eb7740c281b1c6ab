#pragma once

#include <unknwn.h>

#include <memory>

namespace platform {

// Owns one reference to a COM object.
struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, ComReleaser>;

}  // namespace platform
