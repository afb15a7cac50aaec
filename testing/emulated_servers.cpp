#include "testing/emulated_servers.h"

namespace ferrit {
namespace testing {

nwemu::Config StandardServers(TempDir& scratch) {
    using namespace StdIds;
    nwemu::Config config;
    config.AddServer("FS1")
        .Tree("ACME")
        .AddVolume("DATA", scratch.Dir("FS1/DATA"))
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
        .AddVolume("DATA", scratch.Dir("FS2/DATA"))
        .Login("JSMITH")
        .User("ADMIN", Fs2Admin, "CN=ADMIN.O=ACME")
        .User("JSMITH", Fs2Jsmith, "CN=JSMITH.OU=SALES.O=ACME")
        .User("MBROWN", Fs2Mbrown, "CN=MBROWN.OU=SALES.O=ACME")
        .Group("SALES", Fs2Sales, "CN=SALES.OU=SALES.O=ACME")
        .Member("SALES", "JSMITH");
    config.AddServer("FS3")
        .AddVolume("DATA", scratch.Dir("FS3/DATA"))
        .Login("JSMITH")
        .User("JSMITH", Fs3Jsmith)
        .User("MBROWN", Fs3Mbrown)
        .Group("SALES", Fs3Sales)
        .Member("SALES", "JSMITH");
    return config;
}

}  // namespace testing
}  // namespace ferrit
