#include "base/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct LogState {
    bool enabled = false;
    std::string path = "none";
};

// Written by the UI thread at start-up (EnableLog) and read by every thread that logs, all
// under the mutex, which also keeps two lines from interleaving.
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

LogState& logState() {
    static LogState state;
    return state;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void EnableLog(const std::string& path) {
    std::lock_guard<std::mutex> lock(logMutex());
    logState().enabled = true;
    logState().path = path;
}

void DisableLog() {
    std::lock_guard<std::mutex> lock(logMutex());
    logState().enabled = false;
}

bool LogEnabled() {
    std::lock_guard<std::mutex> lock(logMutex());
    return logState().enabled;
}

void WriteLog(const char* unit, unsigned line, const char* format, ...) {
    std::lock_guard<std::mutex> lock(logMutex());
    const LogState& state = logState();
    if (!state.enabled) {
        return;
    }

    // The whole line is formatted first and written with one call, so even another process
    // appending to the same file cannot split it.
    std::string text;
    const std::time_t now = std::time(nullptr);
    if (const char* stamp = std::asctime(std::localtime(&now))) {
        std::string s(stamp);
        if (!s.empty() && s.back() == '\n') {
            s.pop_back();
        }
        text += "[" + s + "] ";
    }
    text += "[";
    text += unit;
    text += "][line: " + std::to_string(line) + "] ";

    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed > 0) {
        const size_t start = text.size();
        text.resize(start + static_cast<size_t>(needed) + 1);
        std::vsnprintf(&text[start], static_cast<size_t>(needed) + 1, format, args);
        text.resize(start + static_cast<size_t>(needed));
    }
    va_end(args);
    text += '\n';

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(state.path.c_str(), "a+"));
    if (!file) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file.get());
}
