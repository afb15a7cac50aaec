#include "testing/emulated_servers.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace ferrit {
namespace testing {

namespace {

void MakeDirs(const std::string& path) {
    std::string part;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            part = path.substr(0, i);
            ::mkdir(part.c_str(), 0777);
        }
    }
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

}  // namespace

EmuScratch::EmuScratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                          "/ferrit-nwemu-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch directory");
    }
    path_ = buf.data();
}

EmuScratch::~EmuScratch() {
    ::nftw(path_.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

std::string EmuScratch::Dir(const std::string& relative) const {
    const std::string full = Path(relative);
    MakeDirs(full);
    return full;
}

std::string EmuScratch::File(const std::string& relative, const std::string& contents) const {
    const std::string full = Path(relative);
    MakeDirs(full.substr(0, full.rfind('/')));
    std::ofstream(full, std::ios::binary | std::ios::trunc) << contents;
    return full;
}

EmulatedConfig StandardServers(const EmuScratch& scratch) {
    using namespace StdIds;
    EmulatedConfig config;
    config.AddServer("FS1")
        .Tree("ACME")
        .Volume("DATA", scratch.Dir("FS1/DATA"))
        .Login("JSMITH")
        .User("JSMITH", Fs1Jsmith, "CN=JSMITH.OU=SALES.O=ACME")
        .User("MBROWN", Fs1Mbrown, "CN=MBROWN.OU=SALES.O=ACME")
        .User("ADMIN", Fs1Admin, "CN=ADMIN.O=ACME")
        .User("TEMP", Fs1Temp, "CN=TEMP.O=ACME")
        .Group("SALES", Fs1Sales, "CN=SALES.OU=SALES.O=ACME")
        .Group("STAFF", Fs1Staff, "CN=STAFF.O=ACME")
        .Member("SALES", "JSMITH")
        .Member("SALES", "MBROWN")
        .Member("STAFF", "JSMITH");
    config.AddServer("FS2")
        .Tree("ACME")
        .Volume("DATA", scratch.Dir("FS2/DATA"))
        .Login("JSMITH")
        .User("ADMIN", Fs2Admin, "CN=ADMIN.O=ACME")
        .User("JSMITH", Fs2Jsmith, "CN=JSMITH.OU=SALES.O=ACME")
        .User("MBROWN", Fs2Mbrown, "CN=MBROWN.OU=SALES.O=ACME")
        .Group("SALES", Fs2Sales, "CN=SALES.OU=SALES.O=ACME")
        .Member("SALES", "JSMITH");
    config.AddServer("FS3")
        .Volume("DATA", scratch.Dir("FS3/DATA"))
        .Login("JSMITH")
        .User("JSMITH", Fs3Jsmith)
        .User("MBROWN", Fs3Mbrown)
        .Group("SALES", Fs3Sales)
        .Member("SALES", "JSMITH");
    return config;
}

}  // namespace testing
}  // namespace ferrit
