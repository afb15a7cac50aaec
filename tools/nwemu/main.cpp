// ferrit-nwemu: the administration tool of the emulated NetWare servers (see --help).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/nwemu/admin.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const ferrit::nwemu::AdminResult result = ferrit::nwemu::RunNwEmu(args);
    std::fputs(result.out.c_str(), stdout);
    std::fputs(result.err.c_str(), stderr);
    return result.status;
}
