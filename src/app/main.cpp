#include "app/App.h"
#include "platform/ProcessArguments.h"

#ifdef _WIN32
// The Windows program's entry point, declared as the system calls it (no window header
// outside the platform folders); the arguments come from the wide command line.
extern "C" int __stdcall wWinMain(struct HINSTANCE__*, struct HINSTANCE__*, wchar_t*, int) {
    return App::run(platform::processArguments(0, nullptr));
}
#else
int main(int argc, char** argv) {
    return App::run(platform::processArguments(argc, argv));
}
#endif
