// ferrit-cli: copies or moves a directory tree by the Ferrit engine, without a window.
#include <iostream>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    ferrit::PrepareCliProcess();
    return ferrit::RunCli(argc, argv, std::cout, std::cerr, std::cin);
}
