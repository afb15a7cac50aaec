// ferrit-cli: copies or moves a directory tree by the Ferrit engine, without a window.
#include <clocale>
#include <cstdio>
#include <iostream>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Both streams are fully buffered: a large run writes several lines per file. They are
    // flushed before every prompt and at the end.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    std::cerr.unsetf(std::ios::unitbuf);
    // An untied error stream: writing a progress line must not flush the status lines.
    std::cerr.tie(nullptr);
    ferrit::InstallInterruptHandler();
    return ferrit::RunCli(argc, argv, std::cout, std::cerr, std::cin);
}
