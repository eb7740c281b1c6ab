#include "base/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct LogState {
    bool enabled = false;
    std::string path = "none";
    // Opened by the first line after EnableLog and kept until the log is switched off or on
    // again: opening the file for every line cost each caller (the video thread among them) a
    // file open and close under the mutex.
    std::unique_ptr<std::FILE, FileCloser> file;
};

// Written by the UI thread at start-up (EnableLog) and by every thread that logs (the file),
// all under the mutex, which also keeps two lines from interleaving.
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

LogState& logState() {
    static LogState state;
    return state;
}

}  // namespace

void EnableLog(const std::string& path) {
    std::lock_guard<std::mutex> lock(logMutex());
    logState().enabled = true;
    logState().path = path;
    logState().file.reset();
}

void DisableLog() {
    std::lock_guard<std::mutex> lock(logMutex());
    logState().enabled = false;
    logState().file.reset();
}

bool LogEnabled() {
    std::lock_guard<std::mutex> lock(logMutex());
    return logState().enabled;
}

void WriteLog(const char* unit, unsigned line, const char* format, ...) {
    std::lock_guard<std::mutex> lock(logMutex());
    LogState& state = logState();
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

    if (!state.file) {
        state.file.reset(std::fopen(state.path.c_str(), "a+"));  // tried again at the next line
        if (!state.file) {
            return;
        }
        // Unbuffered: each line reaches the system in one write as the call makes it, so a
        // crash right after loses no line and no line is split, however long.
        std::setvbuf(state.file.get(), nullptr, _IONBF, 0);
    }
    std::fwrite(text.data(), 1, text.size(), state.file.get());
}
