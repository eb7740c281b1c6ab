// The pointer artwork the cursor is drawn from (found by id, as the cursor overlay finds it).
#include <gtest/gtest.h>
#include <stb_image.h>

#include <memory>

#include "resources/Resources.h"

namespace {

// A pointer is drawn centred on the cursor, so its tip must be the centre pixel: opaque
// there, transparent diagonally up-left of it.
TEST(Resources, PointerTipsSitOnTheImageCentre) {
    for (uint32_t id = 101; id <= 112; ++id) {
        const ResourceBytes bytes = findResource(id, "PNG");
        int w = 0, h = 0, n = 0;
        std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
            stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &w, &h, &n, 4),
            stbi_image_free);
        ASSERT_NE(rgba, nullptr) << id;
        EXPECT_GT(rgba.get()[(h / 2 * w + w / 2) * 4 + 3], 128) << id;
        EXPECT_EQ(rgba.get()[((h / 2 - 2) * w + w / 2 - 2) * 4 + 3], 0) << id;
    }
}

}  // namespace
