// The embedded resources: lookup by id and type, and the cursor artwork the style tables name.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstring>
#include <memory>

#include "resources/Resources.h"

namespace {

TEST(Resources, LookupIsByIdAndCaseInsensitiveType) {
    const ResourceBytes png = findResource(101, "PNG");
    ASSERT_GE(png.size, 8u);
    EXPECT_EQ(std::memcmp(png.data, "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(findResource(101, "png").data, png.data);
    for (const char* type : {"XML", "PN", "PNGX", static_cast<const char*>(nullptr)}) {
        EXPECT_TRUE(findResource(101, type).empty());
    }
    // Ids are 16 bits; a larger number must not wrap onto a real one.
    for (uint32_t id : {100u, 0xFFFFFFFFu, 0x10000u + 101u}) {
        EXPECT_TRUE(findResource(id, "PNG").empty()) << id;
    }
}

// The style pickers show colours in columns and sizes in rows: within each colour the three
// ids in sequence are the three sizes, growing. Each image is translucent at its edges, and a
// pointer (101..112), drawn centred on the cursor, has its tip on the centre pixel.
TEST(Resources, CursorImagesGrowThroughTheirSizesAndPointersHaveTheirTipInTheMiddle) {
    int lastWidth = 0;
    for (uint32_t id = 101; id <= 136; ++id) {
        SCOPED_TRACE(id);
        const ResourceBytes bytes = findResource(id, "PNG");
        int w = 0, h = 0, n = 0;
        std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
            stbi_load_from_memory(bytes.data, static_cast<int>(bytes.size), &w, &h, &n, 4),
            stbi_image_free);
        ASSERT_NE(rgba, nullptr);
        EXPECT_EQ(n, 4);  // stored with an alpha channel
        auto alpha = [&](int x, int y) { return rgba.get()[(y * w + x) * 4 + 3]; };
        int transparent = 0, partial = 0;
        for (int i = 0; i < w * h; ++i) {
            transparent += alpha(i % w, i / w) == 0;
            partial += alpha(i % w, i / w) % 255 != 0;
        }
        EXPECT_GT(transparent, 0);
        EXPECT_GT(partial, 0);  // smooth edges or translucent fills
        if ((id - 101) % 3 != 0) {
            EXPECT_GT(w, lastWidth);
        }
        lastWidth = w;
        if (id <= 112) {
            EXPECT_GT(alpha(w / 2, h / 2), 128);
            EXPECT_EQ(alpha(w / 2 - 2, h / 2 - 2), 0);
        }
    }
}

}  // namespace
