#include <gtest/gtest.h>

#include <string>

#include "ui/render/Bitmap.h"
#include "ui/render/Canvas.h"
#include "ui/render/ImageDescriptor.h"
#include "ui/render/ImageStore.h"

using ui::Bitmap;
using ui::Canvas;
using ui::ImageDescriptor;
using ui::ImageStore;

namespace {

std::shared_ptr<Bitmap> solid(int32_t w, int32_t h, uint32_t colour) {
    auto bitmap = std::make_shared<Bitmap>(w, h, false);
    std::fill(bitmap->pixels(), bitmap->pixels() + w * h, colour);
    return bitmap;
}

}  // namespace

TEST(ImageStore, NamedImagesAreAddedReplacedAndRemoved) {
    ImageStore store;
    const auto first = solid(2, 2, 0xFF0000FF);
    const auto second = solid(3, 3, 0xFF00FF00);
    EXPECT_FALSE(store.findImage("desktopMask"));
    store.addImage("desktopMask", first);
    EXPECT_EQ(first, store.findImage("desktopMask"));
    store.addImage("desktopMask", second);
    EXPECT_EQ(second, store.findImage("desktopMask"));

    // A replaced image is drawn even though the descriptor was parsed before.
    Canvas canvas(4, 4);
    EXPECT_TRUE(store.draw(canvas, Rect{0, 0, 4, 4}, "file='desktopMask'"));
    EXPECT_EQ(0xFF00FF00u, canvas.pixel(3, 3));

    store.removeImage("desktopMask");
    EXPECT_FALSE(store.findImage("desktopMask"));
    canvas.clear(0);
    EXPECT_FALSE(store.draw(canvas, Rect{0, 0, 4, 4}, "file='desktopMask'"));
    EXPECT_FALSE(store.preload("file='desktopMask'"));
    EXPECT_EQ(0u, canvas.pixel(3, 3));
}

TEST(ImageStore, AnEverChangingDescriptorKeepsTheCacheBounded) {
    ImageStore store;
    store.addImage("pic", solid(300, 300, 0xFF102030u));
    Canvas canvas(40, 40);
    // A magnifier following the pointer: a new source at every step, for a long while.
    for (int32_t i = 0; i < 20000; ++i) {
        const int32_t x = i % 200;
        const int32_t y = i / 200;
        const std::string descriptor = "file='pic' source='" + std::to_string(x) + "," +
                                       std::to_string(y) + "," + std::to_string(x + 20) + "," +
                                       std::to_string(y + 20) + "' dest='0,0,40,40'";
        ASSERT_TRUE(store.draw(canvas, {0, 0, 40, 40}, descriptor)) << i;
        ASSERT_LE(store.parsedCount(), ImageStore::kMaxParsed) << i;
    }
    EXPECT_EQ(canvas.pixel(20, 20), 0xFF102030u);
}

TEST(ImageStore, BuiltInImagesDecodeOnceForEveryWindow) {
    ImageStore a;
    ImageStore b;
    ImageDescriptor d;
    ASSERT_TRUE(ImageDescriptor::parse("res='101' restype='PNG'", d));
    const auto image = a.resolve(d);
    ASSERT_TRUE(image);
    ASSERT_TRUE(ImageDescriptor::parse("res='101'", d));
    EXPECT_EQ(image, b.resolve(d));
    EXPECT_TRUE(b.preload("res='101' restype='png'"));
    EXPECT_FALSE(b.preload("res='60000'"));

    Canvas canvas(image->width(), image->height());
    ASSERT_TRUE(a.draw(canvas, Rect{0, 0, image->width(), image->height()}, "res='101'"));
    bool drawn = false;
    for (int32_t y = 0; y < image->height() && !drawn; ++y) {
        for (int32_t x = 0; x < image->width() && !drawn; ++x) {
            drawn = (image->pixel(x, y) >> 24) == 255 && canvas.pixel(x, y) == image->pixel(x, y);
        }
    }
    EXPECT_TRUE(drawn) << "no opaque pixel of the image reached the canvas";
}
