#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Turns files written in fragments while recording (playable up to their last fragment should
// the program die) into regular MP4/MOV files with their index at the front, which every
// player opens and which start at once when streamed. Each file's packets are copied
// unchanged into a new file beside it (partPath), which then takes the file's name; until that
// rename the fragmented file stays whole, so an end at any moment leaves a file that plays.
//
// Threads: add() on the owner's thread while run() is not running; run() on one thread at a
// time (the owner's finishing thread).
class FileFinisher {
public:
    // The percent of all the files' bytes copied so far, 0 to 100, each value once and rising;
    // called on run()'s thread.
    using Progress = std::function<void(int32_t percent)>;

    void add(std::string path);
    bool empty() const { return paths_.empty(); }

    // Finishes every file added, then forgets them. 0, or the first failure's negative FFmpeg
    // code: that file stays as it was (and nothing beside it), the others are still finished.
    int32_t run(const Progress& progress);

    // The name of the new file written beside `path`.
    static std::string partPath(const std::string& path);

private:
    // Copies one file into its part file, adding the bytes it has read to `copied`.
    int32_t copy(const std::string& path, const std::function<void(int64_t)>& copied);

    std::vector<std::string> paths_;  // see the class comment for the threads
};
