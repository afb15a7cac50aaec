// The description of the emulated NetWare servers: read from `ferrit-netware.ini` (config_text.h),
// or built in memory by tests. The emulated client and the `ferrit-nwemu` administration tool
// both work from it; the metadata of the files themselves lives with the volumes (metadata.h).
//
// Identifiers are nonzero and unique on their server.
//
// Directory-services objects belong to the tree, not to one server: every server of a tree
// knows every object any server of that tree describes, under its directory-services name and
// an identifier of its own. An object needs describing on one server of its tree only; a
// server that does not describe it gives it an identifier derived from the server's name and
// the object's directory-services name (the same on every start), and the bindery name of the
// server that describes it. A group's members are the tree's too: the union of what the servers
// of the tree say. Describing an object on several servers of a tree, each with its own
// identifier, stays allowed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferrit {
namespace nwemu {

// A user or a group of one server.
struct Object {
    std::string name;                  // bindery name, capitals
    uint32_t id = 0;                   // this server's object identifier
    uint16_t type = 0;                 // 0x0100 user, 0x0200 group
    std::string dsName;                // directory-services name; empty on a bindery-only server
    std::vector<std::string> members;  // a group's users
    int line = 0;                      // where the file describes it; 0 when built in memory
    bool fromTree = false;             // described by another server of the tree only
};

struct Volume {
    std::string name;  // capitals, without the colon
    std::string dir;   // the local directory that holds it
    int line = 0;
};

struct Server {
    std::string name;
    std::string tree;  // empty: bindery only
    std::vector<Volume> volumes;
    std::string login;  // name of the logged-in user
    int handleLimit = 255;
    // Tree servers: the containers whose objects bindery calls find (directory-services keys);
    // empty: the containers of the objects the server describes itself.
    std::vector<std::string> binderyContexts;
    std::vector<Object> objects;
    int line = 0;  // the section heading
    int loginLine = 0;
    int binderyContextLine = 0;

    Server& Tree(const std::string& t);
    Server& AddVolume(const std::string& volumeName, const std::string& dir);
    Server& Login(const std::string& user);
    Server& HandleLimit(int limit);
    Server& BinderyContext(const std::string& context);
    Server& User(const std::string& userName, uint32_t id, const std::string& ds = "");
    Server& Group(const std::string& groupName, uint32_t id, const std::string& ds = "");
    // Adds users to a group (the group must have been added).
    Server& Member(const std::string& groupName, const std::string& userName);

    const Object* FindObject(const std::string& objectName) const;  // case-insensitive
    const Object* FindObject(uint32_t id) const;
    // The object of a directory-services name, compared by DsKey; nullptr when none.
    const Object* FindDsObject(const std::string& dsName) const;
    const Object* LoggedIn() const { return FindObject(login); }
    // Whether bindery calls to this server find the object: on a bindery-only server every one,
    // on a tree server those of its bindery contexts.
    bool InBindery(const Object& object) const;
};

struct Config {
    std::vector<Server> servers;

    // Adds a server and returns it for further description (valid until the next AddServer).
    Server& AddServer(const std::string& serverName);
    const Server* FindServer(const std::string& serverName) const;

    // Checks the description as a whole (the volume directories must exist); empty when it is
    // sound, else what is wrong, with the line of the faulty setting in `line` when known.
    std::string Validate(int* line = nullptr) const;
};

// The description as the servers see it: each server of a tree completed with the tree's
// objects it does not describe itself, and every group of a tree with the tree's members.
Config WithTreeObjects(Config config);

// Names of servers, volumes, trees and objects: at most `maxLength` letters, digits and a few
// marks, no blanks, no separators of volume paths or directory-services names.
bool IsGoodName(const std::string& name, size_t maxLength);

// A value in capital hexadecimal digits, at least `digits` of them, without a prefix.
std::string Hex(uint32_t value, int digits = 8);
// "0x" and eight hexadecimal digits, as the call log and the administration tool show values.
std::string PrefixedHex(uint32_t value);
// Directory-services names compare without their type prefixes ("CN=", "OU=") and case; equal
// keys name the same object.
std::string DsKey(const std::string& name);

}  // namespace nwemu
}  // namespace ferrit
