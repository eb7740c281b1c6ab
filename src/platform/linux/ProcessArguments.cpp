#include "platform/ProcessArguments.h"

#include "platform/Strings.h"

namespace platform {

std::vector<std::wstring> processArguments(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        args.push_back(AnsiToWide(argv[i]));
    }
    return args;
}

}  // namespace platform
