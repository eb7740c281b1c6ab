#include "platform/linux/V4l2CameraDriver.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/HResult.h"
#include "base/Log.h"
#include "platform/CameraPixelConverter.h"
#include "platform/Strings.h"

namespace platform {
namespace {

constexpr const char* kUnit = "V4l2Camera";
constexpr uint32_t kBufferCount = 4;
constexpr int kPollMs = 200;

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

int xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

struct Mapping {
    void* address = MAP_FAILED;
    size_t length = 0;

    Mapping() = default;
    Mapping(void* a, size_t l) : address(a), length(l) {}
    ~Mapping() {
        if (address != MAP_FAILED) {
            ::munmap(address, length);
        }
    }
    Mapping(Mapping&& o) noexcept
        : address(std::exchange(o.address, MAP_FAILED)), length(o.length) {}
    Mapping& operator=(Mapping&&) = delete;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
};

struct FormatChoice {
    uint32_t fourcc;
    CameraPixelFormat format;
};

// In order of preference when the device's current format is none of them.
constexpr FormatChoice kFormats[] = {
    {V4L2_PIX_FMT_YUYV, CameraPixelFormat::Yuyv},
    {V4L2_PIX_FMT_MJPEG, CameraPixelFormat::Mjpeg},
    {V4L2_PIX_FMT_JPEG, CameraPixelFormat::Mjpeg},
    {V4L2_PIX_FMT_UYVY, CameraPixelFormat::Uyvy},
    {V4L2_PIX_FMT_NV12, CameraPixelFormat::Nv12},
    {V4L2_PIX_FMT_YUV420, CameraPixelFormat::Yuv420},
    {V4L2_PIX_FMT_RGB24, CameraPixelFormat::Rgb24},
    {V4L2_PIX_FMT_BGR24, CameraPixelFormat::Bgr24},
    {V4L2_PIX_FMT_GREY, CameraPixelFormat::Grey},
};

const FormatChoice* findChoice(uint32_t fourcc) {
    for (const auto& c : kFormats) {
        if (c.fourcc == fourcc) {
            return &c;
        }
    }
    return nullptr;
}

int64_t steadyNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The capability bits of the node itself (a multi-node driver reports the union in
// `capabilities`).
uint32_t nodeCaps(const v4l2_capability& cap) {
    return (cap.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap.device_caps : cap.capabilities;
}

void freeBuffers(int fd) {
    v4l2_requestbuffers req{};
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    xioctl(fd, VIDIOC_REQBUFS, &req);
}

class V4l2FrameSource final : public CameraFrameSource {
  public:
    V4l2FrameSource(UniqueFd fd, UniqueFd wake, std::vector<Mapping> buffers,
                    std::unique_ptr<CameraPixelConverter> converter, CameraSize size)
        : fd_(std::move(fd)),
          wake_(std::move(wake)),
          buffers_(std::move(buffers)),
          converter_(std::move(converter)),
          size_(size),
          pixels_(static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * 4) {}

    ~V4l2FrameSource() override {
        stop();
        buffers_.clear();  // unmapped before the driver frees them
        freeBuffers(fd_.get());
    }

    CameraSize size() const override { return size_; }

    int32_t start() override {
        uint64_t drained = 0;
        while (::read(wake_.get(), &drained, sizeof drained) > 0) {
        }
        for (uint32_t i = 0; i < buffers_.size(); ++i) {
            if (!queue(i)) {
                SC_LOG(kUnit, "Queue buffer %u failed: %s", i, std::strerror(errno));
                stop();
                return E_FAIL;
            }
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd_.get(), VIDIOC_STREAMON, &type) < 0) {
            SC_LOG(kUnit, "Stream on failed: %s", std::strerror(errno));
            stop();
            return E_FAIL;
        }
        return S_OK;
    }

    void stop() override {
        // Stream off also takes every buffer back from the driver.
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        xioctl(fd_.get(), VIDIOC_STREAMOFF, &type);
    }

    Wait waitFrame(const std::function<void(const CameraFrame&)>& deliver) override {
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, kPollMs);
        if (ready < 0) {
            return errno == EINTR ? Wait::Nothing : Wait::Failed;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wake_.get(), &count, sizeof count);
            return Wait::Nothing;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            SC_LOG(kUnit, "Device reports an error (events %d)", fds[0].revents);
            return Wait::Failed;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            return Wait::Nothing;
        }
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        if (xioctl(fd_.get(), VIDIOC_DQBUF, &buf) < 0) {
            if (errno == EAGAIN || errno == EIO) {
                return Wait::Nothing;  // nothing ready, or a picture lost on the way
            }
            SC_LOG(kUnit, "Dequeue failed: %s", std::strerror(errno));
            return Wait::Failed;
        }
        if (buf.index >= buffers_.size()) {
            SC_LOG(kUnit, "Driver returned unknown buffer %u", buf.index);
            return Wait::Failed;
        }
        const uint32_t sequence = sequence_++;
        const Mapping& mapping = buffers_[buf.index];
        // The driver's byte count is not trusted past the mapping.
        const size_t used = std::min<size_t>(buf.bytesused, mapping.length);
        Wait result = Wait::Nothing;
        if ((buf.flags & V4L2_BUF_FLAG_ERROR) == 0 && used > 0 &&
            converter_->convert(static_cast<const uint8_t*>(mapping.address), used,
                                pixels_.data()) == 0) {
            CameraFrame frame;
            frame.pixels = pixels_.data();
            frame.width = size_.width;
            frame.height = size_.height;
            frame.stride = size_.width * 4;
            frame.sequence = sequence;
            frame.timestampUs =
                (buf.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC
                    ? static_cast<int64_t>(buf.timestamp.tv_sec) * 1000000 + buf.timestamp.tv_usec
                    : steadyNowUs();
            deliver(frame);
            result = Wait::Frame;
        }
        if (!queue(buf.index)) {
            SC_LOG(kUnit, "Requeue failed: %s", std::strerror(errno));
            return Wait::Failed;
        }
        return result;
    }

    void interrupt() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_.get(), &one, sizeof one);
    }

  private:
    bool queue(uint32_t index) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = index;
        return xioctl(fd_.get(), VIDIOC_QBUF, &buf) == 0;
    }

    UniqueFd fd_;    // destroyed last: the mappings and buffers belong to it
    UniqueFd wake_;  // eventfd that interrupt() writes
    std::vector<Mapping> buffers_;
    std::unique_ptr<CameraPixelConverter> converter_;  // streaming thread
    const CameraSize size_;
    std::vector<uint8_t> pixels_;  // streaming thread
    uint32_t sequence_ = 0;        // streaming thread
};

struct Negotiated {
    const FormatChoice* choice = nullptr;
    CameraSize size;
    int32_t bytesPerLine = 0;
};

bool negotiate(int fd, Negotiated* out) {
    std::vector<uint32_t> offered;
    for (uint32_t i = 0; i < 64; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_ENUM_FMT, &desc) < 0) {
            break;
        }
        offered.push_back(desc.pixelformat);
    }
    v4l2_format current{};
    current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd, VIDIOC_G_FMT, &current) < 0) {
        SC_LOG(kUnit, "Get format failed: %s", std::strerror(errno));
        return false;
    }
    // Keep what the device is set to when we can read it; otherwise our first preference.
    const FormatChoice* choice = findChoice(current.fmt.pix.pixelformat);
    if (choice == nullptr) {
        for (const auto& c : kFormats) {
            if (std::find(offered.begin(), offered.end(), c.fourcc) != offered.end()) {
                choice = &c;
                break;
            }
        }
    }
    if (choice == nullptr) {
        SC_LOG(kUnit, "No picture format we can read");
        return false;
    }
    v4l2_format wanted{};
    wanted.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    wanted.fmt.pix.width = current.fmt.pix.width != 0 ? current.fmt.pix.width : 640;
    wanted.fmt.pix.height = current.fmt.pix.height != 0 ? current.fmt.pix.height : 480;
    wanted.fmt.pix.pixelformat = choice->fourcc;
    wanted.fmt.pix.field = V4L2_FIELD_ANY;
    if (xioctl(fd, VIDIOC_S_FMT, &wanted) < 0) {
        SC_LOG(kUnit, "Set format failed: %s", std::strerror(errno));
        return false;
    }
    if (wanted.fmt.pix.pixelformat != choice->fourcc || wanted.fmt.pix.width == 0 ||
        wanted.fmt.pix.height == 0 || wanted.fmt.pix.width > 16384 ||
        wanted.fmt.pix.height > 16384) {
        SC_LOG(kUnit, "Device refused the format");
        return false;
    }
    out->choice = choice;
    out->size = {static_cast<int32_t>(wanted.fmt.pix.width),
                 static_cast<int32_t>(wanted.fmt.pix.height)};
    out->bytesPerLine = choice->format == CameraPixelFormat::Mjpeg
                            ? 0
                            : static_cast<int32_t>(wanted.fmt.pix.bytesperline);

    // Thirty pictures a second where the device lets us choose; its own rate otherwise.
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd, VIDIOC_G_PARM, &parm) == 0 &&
        (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) != 0) {
        parm.parm.capture.timeperframe.numerator = 1;
        parm.parm.capture.timeperframe.denominator = 30;
        xioctl(fd, VIDIOC_S_PARM, &parm);
    }
    return true;
}

bool mapBuffers(int fd, std::vector<Mapping>* buffers) {
    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (xioctl(fd, VIDIOC_REQBUFS, &req) < 0 || req.count < 2) {
        SC_LOG(kUnit, "Request buffers failed: %s", std::strerror(errno));
        return false;
    }
    for (uint32_t i = 0; i < req.count; ++i) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        if (xioctl(fd, VIDIOC_QUERYBUF, &buf) < 0) {
            SC_LOG(kUnit, "Query buffer failed: %s", std::strerror(errno));
            return false;
        }
        void* address =
            ::mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, buf.m.offset);
        if (address == MAP_FAILED) {
            SC_LOG(kUnit, "Map buffer failed: %s", std::strerror(errno));
            return false;
        }
        buffers->emplace_back(address, buf.length);
    }
    return true;
}

// Parses "video<N>"; false for any other name.
bool videoNumber(const std::string& name, unsigned long* number) {
    static const std::string kPrefix = "video";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 9 ||
        name.compare(0, kPrefix.size(), kPrefix) != 0) {
        return false;
    }
    unsigned long n = 0;
    for (size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
        n = n * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    *number = n;
    return true;
}

}  // namespace

V4l2CameraDriver::V4l2CameraDriver(std::string deviceDirectory,
                                   CameraPixelConverterFactory converters)
    : directory_(std::move(deviceDirectory)), converters_(std::move(converters)) {}

std::vector<std::string> V4l2CameraDriver::videoNodes(const std::string& directory) {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        unsigned long number = 0;
        if (videoNumber(name, &number)) {
            found.emplace_back(number, name);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const auto& f : found) {
        paths.push_back((std::filesystem::path(directory) / f.second).string());
    }
    return paths;
}

std::vector<V4l2CameraDriver::Node> V4l2CameraDriver::captureNodes() const {
    std::vector<Node> nodes;
    for (const std::string& path : videoNodes(directory_)) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
            continue;
        }
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (!fd) {
            SC_LOG(kUnit, "Cannot open %s: %s", path.c_str(), std::strerror(errno));
            continue;
        }
        v4l2_capability cap{};
        if (xioctl(fd.get(), VIDIOC_QUERYCAP, &cap) < 0) {
            continue;  // not a video device
        }
        const uint32_t caps = nodeCaps(cap);
        if ((caps & V4L2_CAP_VIDEO_CAPTURE) == 0 || (caps & V4L2_CAP_STREAMING) == 0) {
            continue;  // metadata, output or codec nodes
        }
        Node node;
        node.path = path;
        const auto* card = reinterpret_cast<const char*>(cap.card);
        const std::string name(card, strnlen(card, sizeof cap.card));
        node.device.hasName = !name.empty();
        node.device.friendlyName = AnsiToWide(name);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<CameraDevice> V4l2CameraDriver::devices() {
    std::vector<CameraDevice> devices;
    for (auto& node : captureNodes()) {
        devices.push_back(std::move(node.device));
    }
    return devices;
}

std::unique_ptr<CameraFrameSource> V4l2CameraDriver::open(int32_t position) {
    const std::vector<Node> nodes = captureNodes();
    if (position < 0 || static_cast<size_t>(position) >= nodes.size()) {
        SC_LOG(kUnit, "No camera at position %d (%zu found)", position, nodes.size());
        return nullptr;
    }
    const std::string& path = nodes[static_cast<size_t>(position)].path;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        SC_LOG(kUnit, "Cannot open %s: %s", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    Negotiated format;
    if (!negotiate(fd.get(), &format)) {
        return nullptr;
    }
    auto converter = converters_ ? converters_(format.choice->format, format.size.width,
                                               format.size.height, format.bytesPerLine)
                                 : nullptr;
    if (!converter) {
        SC_LOG(kUnit, "Cannot convert %dx%d pictures of format %08x", format.size.width,
               format.size.height, format.choice->fourcc);
        return nullptr;
    }
    UniqueFd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wake) {
        return nullptr;
    }
    std::vector<Mapping> buffers;
    if (!mapBuffers(fd.get(), &buffers)) {
        buffers.clear();
        freeBuffers(fd.get());
        return nullptr;
    }
    SC_LOG(kUnit, "Opened %s: %dx%d, format %08x, %zu buffers", path.c_str(), format.size.width,
           format.size.height, format.choice->fourcc, buffers.size());
    return std::make_unique<V4l2FrameSource>(std::move(fd), std::move(wake), std::move(buffers),
                                             std::move(converter), format.size);
}

std::unique_ptr<CameraDriver> createSystemCameraDriver(CameraPixelConverterFactory converters) {
    return std::make_unique<V4l2CameraDriver>("/dev", std::move(converters));
}

}  // namespace platform
