#include "platform/Url.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace platform {

std::string dataDirectoryOf(const std::string& programFolder) {
    const std::string installed = programFolder + "../share/screen-capturer/";
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::u8path(installed), error) ? installed
                                                                                    : programFolder;
}

std::string dataDirectory() {
    return dataDirectoryOf(executableDirectory());
}

}  // namespace platform
