#include <iostream>

#include "cli/cli.h"
#include "platform/process_limits.h"
#include "platform/translation.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Texts are written as the bytes they hold; no line-end translation.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    kirvo::InitTranslation();
    kirvo::RaiseOpenFileLimit();  // big copies keep many files open at once
    return kirvo::RunCli(argc, argv, std::cout, std::cerr);
}
