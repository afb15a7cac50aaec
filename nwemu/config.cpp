// The description of the emulated servers as a value: building it, finding its objects, and the
// tree's objects as every server of the tree knows them.
#include "nwemu/config.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "netware/netware_client.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

Object MakeObject(const std::string& name, uint32_t id, uint16_t type, const std::string& ds) {
    Object o;
    o.name = UpperAscii(name);
    o.id = id;
    o.type = type;
    o.dsName = ds;
    return o;
}

// The identifier a server gives an object it knows from its tree only: FNV-1a of the server's
// name and the object's key, so it is the same on every start.
uint32_t TreeObjectId(const std::string& server, const std::string& key) {
    uint32_t hash = 2166136261u;
    for (const char c : server + "/" + key) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    return hash;
}

template <typename T>
void AddUnique(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) {
        list.push_back(item);
    }
}

}  // namespace

std::string Hex(uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

std::string PrefixedHex(uint32_t value) {
    return "0x" + Hex(value);
}

std::string DsKey(const std::string& name) {
    std::string key;
    std::stringstream in(name);
    std::string part;
    while (std::getline(in, part, '.')) {
        const size_t eq = part.find('=');
        key += (key.empty() ? "" : ".") +
               UpperAscii(eq == std::string::npos ? part : part.substr(eq + 1));
    }
    return key;
}

Server& Server::Tree(const std::string& t) {
    tree = UpperAscii(t);
    return *this;
}

Server& Server::AddVolume(const std::string& volumeName, const std::string& dir) {
    Volume v;
    v.name = UpperAscii(volumeName);
    v.dir = dir;
    volumes.push_back(v);
    return *this;
}

Server& Server::Login(const std::string& user) {
    login = UpperAscii(user);
    return *this;
}

Server& Server::HandleLimit(int limit) {
    handleLimit = limit;
    return *this;
}

Server& Server::BinderyContext(const std::string& context) {
    binderyContexts.push_back(context);
    return *this;
}

namespace {

// The container of a directory-services name, as a key: the name without its first part.
std::string ContainerKey(const std::string& dsName) {
    const std::string key = DsKey(dsName);
    const size_t dot = key.find('.');
    return dot == std::string::npos ? std::string() : key.substr(dot + 1);
}

}  // namespace

bool Server::InBindery(const Object& object) const {
    if (tree.empty() || object.dsName.empty()) {
        return true;
    }
    const std::string container = ContainerKey(object.dsName);
    if (!binderyContexts.empty()) {
        for (const std::string& context : binderyContexts) {
            if (DsKey(context) == container) {
                return true;
            }
        }
        return false;
    }
    for (const Object& own : objects) {
        if (!own.fromTree && !own.dsName.empty() && ContainerKey(own.dsName) == container) {
            return true;
        }
    }
    return false;
}

Server& Server::User(const std::string& userName, uint32_t id, const std::string& ds) {
    objects.push_back(MakeObject(userName, id, ObjType::User, ds));
    return *this;
}

Server& Server::Group(const std::string& groupName, uint32_t id, const std::string& ds) {
    objects.push_back(MakeObject(groupName, id, ObjType::Group, ds));
    return *this;
}

Server& Server::Member(const std::string& groupName, const std::string& userName) {
    for (Object& o : objects) {
        if (o.name == UpperAscii(groupName)) {
            o.members.push_back(UpperAscii(userName));
        }
    }
    return *this;
}

const Object* Server::FindObject(const std::string& objectName) const {
    const std::string upper = UpperAscii(objectName);
    for (const Object& o : objects) {
        if (o.name == upper) {
            return &o;
        }
    }
    return nullptr;
}

const Object* Server::FindObject(uint32_t id) const {
    for (const Object& o : objects) {
        if (o.id == id) {
            return &o;
        }
    }
    return nullptr;
}

const Object* Server::FindDsObject(const std::string& dsName) const {
    const std::string key = DsKey(dsName);
    for (const Object& o : objects) {
        if (!o.dsName.empty() && DsKey(o.dsName) == key) {
            return &o;
        }
    }
    return nullptr;
}

Server& Config::AddServer(const std::string& serverName) {
    servers.emplace_back();
    servers.back().name = UpperAscii(serverName);
    return servers.back();
}

const Server* Config::FindServer(const std::string& serverName) const {
    const std::string upper = UpperAscii(serverName);
    for (const Server& s : servers) {
        if (s.name == upper) {
            return &s;
        }
    }
    return nullptr;
}

Config WithTreeObjects(Config config) {
    std::vector<std::string> trees;
    for (const Server& s : config.servers) {
        if (!s.tree.empty()) {
            AddUnique(trees, s.tree);
        }
    }
    for (const std::string& tree : trees) {
        std::vector<Server*> servers;
        for (Server& s : config.servers) {
            if (s.tree == tree) {
                servers.push_back(&s);
            }
        }
        // The tree's objects, in the order they are first described.
        std::vector<std::string> keys;
        std::vector<Object> objects;
        for (const Server* s : servers) {
            for (const Object& o : s->objects) {
                const std::string key = DsKey(o.dsName);
                if (o.dsName.empty() || std::find(keys.begin(), keys.end(), key) != keys.end()) {
                    continue;
                }
                keys.push_back(key);
                Object known = o;
                known.members.clear();
                known.line = 0;
                known.fromTree = true;
                objects.push_back(known);
            }
        }
        // Each server learns the objects it does not describe, under an identifier of its own.
        for (Server* s : servers) {
            for (size_t k = 0; k < keys.size(); ++k) {
                if (s->FindDsObject(keys[k]) != nullptr) {
                    continue;
                }
                Object known = objects[k];
                known.id = TreeObjectId(s->name, keys[k]);
                while (known.id == 0 || known.id == 0xFFFFFFFF || s->FindObject(known.id)) {
                    ++known.id;
                }
                s->objects.push_back(known);
            }
        }
        // A group's members are the union of what the servers of the tree say.
        std::map<std::string, std::vector<std::string>> memberKeys;
        for (const Server* s : servers) {
            for (const Object& g : s->objects) {
                if (g.type != ObjType::Group || g.fromTree) {
                    continue;
                }
                std::vector<std::string>& list = memberKeys[DsKey(g.dsName)];
                for (const std::string& m : g.members) {
                    const Object* u = s->FindObject(m);
                    if (u != nullptr && !u->dsName.empty()) {
                        AddUnique(list, DsKey(u->dsName));
                    }
                }
            }
        }
        for (Server* s : servers) {
            for (Object& g : s->objects) {
                const auto it = memberKeys.find(DsKey(g.dsName));
                if (g.type != ObjType::Group || it == memberKeys.end()) {
                    continue;
                }
                for (const std::string& key : it->second) {
                    if (const Object* u = s->FindDsObject(key)) {
                        AddUnique(g.members, u->name);
                    }
                }
            }
        }
    }
    return config;
}

}  // namespace nwemu
}  // namespace ferrit
