// The embedded resources: lookup by id and type, and the cursor artwork the style tables name.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstring>

#include "resources/Resources.h"

namespace {

struct Size {
    int width = 0;
    int height = 0;
};

Size decodedSize(uint32_t id) {
    const ResourceBytes bytes = findResource(id, "PNG");
    int w = 0, h = 0, n = 0;
    if (bytes.empty() ||
        !stbi_info_from_memory(bytes.data, static_cast<int>(bytes.size), &w, &h, &n)) {
        return {};
    }
    return {w, h};
}

TEST(Resources, LookupIsByIdAndCaseInsensitiveType) {
    const ResourceBytes png = findResource(101, "PNG");
    ASSERT_FALSE(png.empty());
    ASSERT_GE(png.size, 8u);
    EXPECT_EQ(std::memcmp(png.data, "\x89PNG\r\n\x1a\n", 8), 0);
    const ResourceBytes lower = findResource(101, "png");
    EXPECT_EQ(lower.data, png.data);
    EXPECT_EQ(lower.size, png.size);

    EXPECT_TRUE(findResource(101, "XML").empty());
    EXPECT_TRUE(findResource(101, "PN").empty());
    EXPECT_TRUE(findResource(101, "PNGX").empty());
    EXPECT_TRUE(findResource(101, nullptr).empty());
    EXPECT_TRUE(findResource(100, "PNG").empty());
    EXPECT_TRUE(findResource(0xFFFFFFFFu, "PNG").empty());
    // Ids are 16 bits; a larger number must not wrap onto a real one.
    EXPECT_TRUE(findResource(0x10000u + 101u, "PNG").empty());
}

TEST(Resources, EveryCursorImageIsAPngWithTranslucency) {
    for (uint32_t id = 101; id <= 136; ++id) {
        SCOPED_TRACE(id);
        const ResourceBytes bytes = findResource(id, "PNG");
        ASSERT_FALSE(bytes.empty());
        int w = 0, h = 0, n = 0;
        stbi_uc* rgba =
            stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &w, &h, &n, 4);
        ASSERT_NE(rgba, nullptr);
        EXPECT_EQ(n, 4);  // stored with an alpha channel
        int transparent = 0, partial = 0, solid = 0;
        for (int i = 0; i < w * h; ++i) {
            const int a = rgba[i * 4 + 3];
            (a == 0 ? transparent : a == 255 ? solid : partial)++;
        }
        stbi_image_free(rgba);
        EXPECT_GT(transparent, 0);
        EXPECT_GT(partial, 0);  // smooth edges or translucent fills
        if (id <= 112) {
            EXPECT_GT(solid, 0);  // pointers are opaque inside their rim
        }
    }
}

// The style pickers show colours in columns and sizes in rows: within each colour the three
// ids in sequence are the three sizes, growing.
TEST(Resources, CursorIdsRunThroughSizesWithinEachColour) {
    for (uint32_t first : {101u, 113u, 125u}) {
        for (uint32_t colour = 0; colour < 4; ++colour) {
            const Size small = decodedSize(first + 3 * colour);
            const Size medium = decodedSize(first + 3 * colour + 1);
            const Size large = decodedSize(first + 3 * colour + 2);
            SCOPED_TRACE(first + 3 * colour);
            EXPECT_GT(small.width, 0);
            EXPECT_LT(small.width, medium.width);
            EXPECT_LT(medium.width, large.width);
            EXPECT_EQ(decodedSize(first + 3 * colour + 1).width, decodedSize(first + 1).width);
        }
    }
}

// A pointer is drawn centred on the cursor, so its tip must be the centre pixel: opaque
// there, transparent diagonally up-left of it.
TEST(Resources, PointerTipsSitOnTheImageCentre) {
    for (uint32_t id = 101; id <= 112; ++id) {
        SCOPED_TRACE(id);
        const ResourceBytes bytes = findResource(id, "PNG");
        int w = 0, h = 0, n = 0;
        stbi_uc* rgba =
            stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &w, &h, &n, 4);
        ASSERT_NE(rgba, nullptr);
        auto alpha = [&](int x, int y) { return rgba[(y * w + x) * 4 + 3]; };
        EXPECT_GT(alpha(w / 2, h / 2), 128);
        EXPECT_EQ(alpha(w / 2 - 2, h / 2 - 2), 0);
        stbi_image_free(rgba);
    }
}

}  // namespace
