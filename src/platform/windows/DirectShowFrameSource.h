#pragma once

#include <windows.h>
// after windows.h, which they need
#include <control.h>
#include <strmif.h>
// after strmif.h, which it needs
#include <qedit.h>

#include <memory>
#include <vector>

#include "platform/CameraFrameSource.h"
#include "platform/CameraPixelConverter.h"
#include "platform/windows/ComPtr.h"
#include "platform/windows/DirectShowPicture.h"
#include "platform/windows/GrabbedSamples.h"

namespace platform {

// A camera's capture graph as the frame source holds it: started and stopped through
// `control`, failures read from `events`, pictures coming from `grabber`. Empty parts are
// left alone (a source without a graph only passes on what is handed to its samples).
struct DirectShowGraph {
    Com<IGraphBuilder> graph;
    Com<IMediaControl> control;
    Com<IMediaEvent> events;
    Com<ISampleGrabber> grabber;
};

// One open camera: the pictures its grabber hands over, converted to ARGB32 on the streaming
// thread.
class DirectShowFrameSource final : public CameraFrameSource {
public:
    DirectShowFrameSource(DirectShowGraph graph, Com<GrabbedSamples> samples,
                          std::unique_ptr<CameraPixelConverter> converter,
                          const DirectShowPicture& picture);
    ~DirectShowFrameSource() override;

    CameraSize size() const override;
    int32_t start() override;
    void stop() override;
    Wait waitFrame(const std::function<void(const CameraFrame&)>& deliver) override;
    void interrupt() override;

private:
    bool deviceFailed();

    DirectShowGraph graph_;        // owner's thread; `events` the streaming thread
    Com<GrabbedSamples> samples_;  // shared with the grabber's thread, safe on its own
    std::unique_ptr<CameraPixelConverter> converter_;  // streaming thread
    const DirectShowPicture picture_;
    std::vector<uint8_t> bytes_;   // streaming thread
    std::vector<uint8_t> pixels_;  // streaming thread
};

}  // namespace platform
