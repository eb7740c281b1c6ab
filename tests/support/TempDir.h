#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// Waits until the file's content satisfies the predicate (polled: a file gives no event).
bool waitForFile(const std::string& path, const std::function<bool(const std::string&)>& ready,
                 std::chrono::milliseconds timeout);

}  // namespace testsupport
