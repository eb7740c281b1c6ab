#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

// Replaces the whole content of one file so that nobody ever sees a part of it: the bytes go
// into a new file in the same folder, which is flushed to the disk and then renamed over the
// target in one step. A crash, a full disk or a refused write therefore leaves the old file as
// it was. The target keeps its permission bits; a symbolic link is followed, not replaced.
class FileReplacer {
  public:
    explicit FileReplacer(const std::wstring& target);
    ~FileReplacer();  // removes the new file unless it was committed

    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Creates the new file next to the target. False when the folder does not allow it.
    bool begin();
    // Appends bytes to the new file. False when not all of them could be written.
    bool write(const void* data, size_t size);
    // Flushes the new file and renames it over the target. False leaves the target untouched
    // and the new file removed.
    bool commit();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
