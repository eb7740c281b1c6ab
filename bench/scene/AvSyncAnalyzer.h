#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Measures how far sound and picture of a recording of the test scene lie apart: the scene
// flashes a white square in the middle of the picture and plays a click at the same instant,
// once a second. The analyser finds each flash (the first frame whose centre turns white) and
// each click (sound rising above a level after silence), pairs them and reports the offsets.

// One flash and the click that belongs to it, in seconds from the start of the file.
struct SyncPair {
    double flash = 0.0;
    double click = 0.0;
    // Positive: the sound comes after the picture.
    double offsetMs() const { return (click - flash) * 1000.0; }
};

struct SyncReport {
    // 0 when the file was read to its end; otherwise a negative FFmpeg code, or -1 when the file
    // lacks a video or an audio stream. errorText says what went wrong.
    int error = 0;
    std::string errorText;

    int64_t videoFrames = 0;
    double frameDurationMs = 0.0;  // mean distance between consecutive frames
    double videoSeconds = 0.0;     // from the first frame to the end of the last
    double audioSeconds = 0.0;     // decoded sound
    double clickLevel = 0.0;       // the level (0..1 of full scale) a click had to reach

    std::vector<double> flashes;  // seconds from the start of the file, in order
    std::vector<double> clicks;
    std::vector<SyncPair> pairs;
    std::vector<double> unpairedFlashes;
    std::vector<double> unpairedClicks;

    // Over the pairs (all 0 without pairs).
    double meanOffsetMs = 0.0;
    double minOffsetMs = 0.0;
    double maxOffsetMs = 0.0;
    double stddevOffsetMs = 0.0;
    // Least-squares slope of the offset over the flash time (0 with fewer than two pairs), and
    // what it amounts to between the first and the last pair.
    double driftMsPerMinute = 0.0;
    double driftOverSpanMs = 0.0;
};

class AvSyncAnalyzer {
public:
    struct Settings {
        // Mean brightness (0 black .. 1 white) of the centre region that counts as a flash.
        double flashLevel = 0.8;
        // Side of the centre region as a fraction of the picture's shorter side; the scene's
        // square is twice as large, so a slightly shifted capture still sees only the square.
        double regionFraction = 0.1;
        // A click must reach this fraction of the loudest sound in the file, and at least
        // minClickLevel of full scale.
        double clickFraction = 0.3;
        double minClickLevel = 0.01;
        // Quiet time before a click, and the least distance between two events of one kind.
        double silenceMs = 100.0;
        double minGapMs = 300.0;
        // How far a click may lie from where the previous pair's offset expects it.
        double pairWindowMs = 350.0;
    };

    AvSyncAnalyzer() = default;
    explicit AvSyncAnalyzer(const Settings& settings) : settings_(settings) {}

    // Decodes the whole file and reports. Never throws.
    SyncReport analyze(const std::string& path) const;

    // Pairs report.flashes with report.clicks and fills in the pairs, the unpaired events and
    // the offset figures. Each flash takes the nearest free click within pairWindowMs of the
    // offset the previous pair had (the first from the median over the first flashes), so a
    // steady drift is followed and a missing event does not shift the rest.
    static void pairEvents(SyncReport& report, double pairWindowMs);

private:
    Settings settings_;
};
