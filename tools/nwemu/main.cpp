// ferrit-nwemu: the administration tool of the emulated NetWare servers (see --help).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system_services.h"
#include "tools/nwemu/admin.h"

int main(int argc, char** argv) {
    const ferrit::nwemu::AdminResult result =
        ferrit::nwemu::RunNwEmu(ferrit::ProgramArguments(argc, argv));
    std::fputs(result.out.c_str(), stdout);
    std::fputs(result.err.c_str(), stderr);
    return result.status;
}
