// Reports audio/video sync of a recording of the test scene (av-scene).
//
//   av-sync-analyze [--summary] FILE
//
// Prints the events found, one line per pair (left out with --summary) and the figures.
// Exit code 0 when the file was analysed, 1 when it could not be (no such file, a stream
// missing, reading stopped early; what was found is still printed), 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "AvSyncAnalyzer.h"

int main(int argc, char** argv) {
    bool summary = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--summary") == 0) {
            summary = true;
        } else if (path.empty() && argv[i][0] != '-') {
            path = argv[i];
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: av-sync-analyze [--summary] FILE\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);

    const SyncReport r = AvSyncAnalyzer().analyze(path);
    std::printf("file: %s\n", path.c_str());
    if (r.error != 0) {
        std::printf("error: %s\n", r.errorText.c_str());
    }
    const double fps = r.frameDurationMs > 0.0 ? 1000.0 / r.frameDurationMs : 0.0;
    std::printf("video: %lld frames, %.2f fps (%.1f ms per frame), %.2f s\n",
                static_cast<long long>(r.videoFrames), fps, r.frameDurationMs, r.videoSeconds);
    std::printf("audio: %.2f s, click level %.3f\n", r.audioSeconds, r.clickLevel);
    std::printf(
        "flashes: %zu  clicks: %zu  pairs: %zu  unpaired flashes: %zu  unpaired clicks: %zu\n",
        r.flashes.size(), r.clicks.size(), r.pairs.size(), r.unpairedFlashes.size(),
        r.unpairedClicks.size());
    if (!summary) {
        for (size_t i = 0; i < r.pairs.size(); ++i) {
            std::printf("pair %4zu  flash %9.3f s  click %9.3f s  offset %+8.1f ms\n", i + 1,
                        r.pairs[i].flash, r.pairs[i].click, r.pairs[i].offsetMs());
        }
        for (double t : r.unpairedFlashes) {
            std::printf("unpaired flash at %.3f s\n", t);
        }
        for (double t : r.unpairedClicks) {
            std::printf("unpaired click at %.3f s\n", t);
        }
    }
    if (!r.pairs.empty()) {
        std::printf("mean offset: %+.1f ms (min %+.1f, max %+.1f, stddev %.1f)\n", r.meanOffsetMs,
                    r.minOffsetMs, r.maxOffsetMs, r.stddevOffsetMs);
        std::printf("drift: %+.2f ms/min (%+.1f ms from the first pair to the last)\n",
                    r.driftMsPerMinute, r.driftOverSpanMs);
    }
    return r.error != 0 ? 1 : 0;
}
