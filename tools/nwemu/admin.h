// The administration of the emulated servers, behind `ferrit-nwemu`: shows and changes the
// owner, trustees, inherited rights mask and space limit of entries on emulated volumes, and
// builds a complete demonstration. The administrator is not subject to the rights checks.
#pragma once

#include <string>
#include <vector>

#include "nwemu/network.h"

namespace ferrit {
namespace nwemu {

// What a command printed and how it ended: 0 done, 1 failed, 2 wrong use.
struct AdminResult {
    int status = 0;
    std::string out;
    std::string err;
};

class Admin {
  public:
    explicit Admin(Config config) : network_(std::move(config)) {}

    // "key: value" lines: path, server, tree, volume path, owner, trustees, irm, limit, login,
    // effective (the login's effective rights).
    AdminResult Show(const std::string& path) const;
    // OBJECT: a name of the path's server, a directory-services name or a 0x identifier.
    // RIGHTS: NetWare letters [SRWCEMFA].
    AdminResult Grant(const std::string& path, const std::string& object,
                      const std::string& rights) const;
    AdminResult Revoke(const std::string& path, const std::string& object) const;
    AdminResult Owner(const std::string& path, const std::string& object) const;
    AdminResult Irm(const std::string& path, const std::string& rights) const;
    // KB (rounded up to whole 4 KB blocks) or "none".
    AdminResult Limit(const std::string& path, const std::string& kb) const;
    AdminResult Rights(const std::string& path) const;

  private:
    bool Locate(const std::string& path, Location& loc, AdminResult& result) const;
    bool FindObject(const Location& loc, const std::string& object, uint32_t& id,
                    AdminResult& result) const;

    Network network_;
};

// Builds the demonstration under dir (servers FS1 and FS2 in one tree, FS3 bindery only, with
// users, groups and a small tree carrying trustees, owners, masks and limits) and writes its
// configuration to configFile. Refuses an existing configuration file or demonstration
// volumes unless force is set (the volumes are then built afresh).
AdminResult BuildDemo(const std::string& dir, const std::string& configFile, bool force);

// The command line of ferrit-nwemu, without the program name.
AdminResult RunNwEmu(const std::vector<std::string>& args);

}  // namespace nwemu
}  // namespace ferrit
