#include "platform/FileReplacer.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace platform {

struct FileReplacer::State {
    std::wstring target;  // where the content ends up
    std::wstring temp;    // the new file while it is being written; empty when none exists
    HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

bool closeFile(HANDLE& file) {
    if (file == INVALID_HANDLE_VALUE) {
        return true;
    }
    const bool ok = CloseHandle(file) != 0;
    file = INVALID_HANDLE_VALUE;
    return ok;
}

}  // namespace

FileReplacer::FileReplacer(const std::wstring& target) : state_(new State) {
    state_->target = target;
}

FileReplacer::~FileReplacer() {
    const DWORD savedError = GetLastError();  // callers may still want the error of a failed step
    closeFile(state_->file);
    if (!state_->temp.empty()) {
        DeleteFileW(state_->temp.c_str());
    }
    SetLastError(savedError);
}

bool FileReplacer::begin() {
    if (state_->file != INVALID_HANDLE_VALUE || !state_->temp.empty()) {
        return false;
    }
    const std::wstring& target = state_->target;
    const size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    std::wstring base = slash == std::wstring::npos ? target : target.substr(slash + 1);
    // Keep the new file's name well inside the limit of one path component.
    if (base.size() > 128) {
        base.resize(128);
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temp = folder + L"." + base + L"." +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(counter++) + L".tmp";
        const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            state_->file = file;
            state_->temp = temp;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

bool FileReplacer::write(const void* data, size_t size) {
    if (state_->file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(state_->file, p, chunk, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

bool FileReplacer::commit() {
    if (state_->file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = FlushFileBuffers(state_->file) != 0;
    DWORD error = ok ? 0 : GetLastError();
    if (!closeFile(state_->file) && ok) {
        ok = false;
        error = GetLastError();
    }
    // One step that either leaves the old file or puts the new one in its place.
    if (ok && !MoveFileExW(state_->temp.c_str(), state_->target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(state_->temp.c_str());
        state_->temp.clear();
        SetLastError(error);
        return false;
    }
    state_->temp.clear();
    return true;
}

}  // namespace platform
