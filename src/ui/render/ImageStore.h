#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/Geometry.h"
#include "ui/render/ImageDescriptor.h"

namespace ui {

class Bitmap;
class Canvas;

// The images one window draws: bitmaps registered under a name (file='...') and the built-in
// resources (res='...'), which are decoded once for the whole process. Used on the UI thread;
// only the resource cache behind it is shared between threads.
class ImageStore {
public:
    // Registers a bitmap under a name, replacing one registered before.
    void addImage(const std::string& name, std::shared_ptr<const Bitmap> bitmap);
    void removeImage(const std::string& name);
    std::shared_ptr<const Bitmap> findImage(const std::string& name) const;

    // The bitmap a descriptor names; null when there is none.
    std::shared_ptr<const Bitmap> resolve(const ImageDescriptor& descriptor) const;

    // Draws a descriptor's image for a control: dest is relative to the control's top-left
    // (the whole control when absent), source defaults to the whole bitmap, and nothing is
    // drawn outside the control. False, drawing nothing, for a malformed descriptor or an
    // image that cannot be found.
    bool draw(Canvas& canvas, const Rect& controlRect, const std::string& descriptor);

    // Parses the descriptor and loads its image ahead of the first draw.
    bool preload(const std::string& descriptor);

    // How many parsed descriptors are kept; never more than kMaxParsed. A control that
    // changes its descriptor all the time (a magnifier following the pointer) would
    // otherwise grow the cache without end.
    size_t parsedCount() const { return descriptors_.size(); }
    static constexpr size_t kMaxParsed = 512;

private:
    // The parsed descriptor, or null when the text is malformed; parsed once per text.
    const ImageDescriptor* parsed(const std::string& descriptor);

    // Both written and read on the UI thread only.
    std::map<std::string, std::shared_ptr<const Bitmap>> named_;
    std::unordered_map<std::string, std::unique_ptr<ImageDescriptor>> descriptors_;
};

}  // namespace ui
