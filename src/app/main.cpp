#include <string>
#include <vector>

#include "app/App.h"
#include "platform/Strings.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        args.push_back(AnsiToWide(argv[i]));
    }
    return App::run(args);
}
