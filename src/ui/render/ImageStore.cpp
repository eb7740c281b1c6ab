#include "ui/render/ImageStore.h"

#include <utility>

#include "base/Guarded.h"
#include "resources/Resources.h"
#include "ui/render/Bitmap.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace ui {

namespace {

// Decoded resources by (id, upper-case type), a failed decode kept as null so it is tried
// once. Written and read by any thread that draws, under its lock; the bitmaps never change.
using ResourceKey = std::pair<int32_t, std::string>;
Guarded<std::map<ResourceKey, std::shared_ptr<const Bitmap>>>& resourceCache() {
    static Guarded<std::map<ResourceKey, std::shared_ptr<const Bitmap>>> cache;
    return cache;
}

std::shared_ptr<const Bitmap> loadResource(int32_t id, std::string type) {
    for (char& c : type) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    auto cache = resourceCache().lock();
    const ResourceKey key{id, type};
    if (auto it = cache->find(key); it != cache->end()) {
        return it->second;
    }
    const ResourceBytes bytes = findResource(static_cast<uint32_t>(id), type.c_str());
    std::shared_ptr<const Bitmap> bitmap =
        bytes.empty() ? nullptr : Bitmap::decodePng(bytes.data, bytes.size);
    cache->emplace(key, bitmap);
    return bitmap;
}

}  // namespace

void ImageStore::addImage(const std::string& name, std::shared_ptr<const Bitmap> bitmap) {
    named_[name] = std::move(bitmap);
}

void ImageStore::removeImage(const std::string& name) {
    named_.erase(name);
}

std::shared_ptr<const Bitmap> ImageStore::findImage(const std::string& name) const {
    const auto it = named_.find(name);
    return it == named_.end() ? nullptr : it->second;
}

std::shared_ptr<const Bitmap> ImageStore::resolve(const ImageDescriptor& descriptor) const {
    if (descriptor.res >= 0) {
        return loadResource(descriptor.res,
                            descriptor.restype.empty() ? std::string("PNG") : descriptor.restype);
    }
    return findImage(descriptor.file);
}

const ImageDescriptor* ImageStore::parsed(const std::string& descriptor) {
    auto it = descriptors_.find(descriptor);
    if (it == descriptors_.end()) {
        // Starting afresh is cheap (a parse per text) and keeps the cache bounded; the
        // pointer handed out is used before the next call.
        if (descriptors_.size() >= kMaxParsed) {
            descriptors_.clear();
        }
        auto d = std::make_unique<ImageDescriptor>();
        if (!ImageDescriptor::parse(descriptor, *d)) {
            d.reset();
        }
        it = descriptors_.emplace(descriptor, std::move(d)).first;
    }
    return it->second.get();
}

bool ImageStore::draw(Canvas& canvas, const Rect& controlRect, const std::string& descriptor) {
    const ImageDescriptor* d = parsed(descriptor);
    if (d == nullptr) {
        return false;
    }
    const std::shared_ptr<const Bitmap> bitmap = resolve(*d);
    if (!bitmap) {
        return false;
    }
    const Rect dest =
        d->hasDest ? offsetRect(d->dest, controlRect.left, controlRect.top) : controlRect;
    const Rect source = d->hasSource ? d->source : Rect{0, 0, bitmap->width(), bitmap->height()};
    Canvas::ClipScope clip(canvas, controlRect);
    canvas.drawBitmap(*bitmap, dest, source, d->corner, d->hole, d->fade);
    return true;
}

bool ImageStore::preload(const std::string& descriptor) {
    const ImageDescriptor* d = parsed(descriptor);
    return d != nullptr && resolve(*d) != nullptr;
}

}  // namespace ui
