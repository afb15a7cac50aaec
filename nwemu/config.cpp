#include "nwemu/config.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/config_file.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

constexpr uint16_t kUser = 0x0100;
constexpr uint16_t kGroup = 0x0200;

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return std::string();
    }
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitList(const std::string& s, char delimiter) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, delimiter)) {
        parts.push_back(Trim(part));
    }
    if (!s.empty() && s.back() == delimiter) {
        parts.push_back(std::string());
    }
    return parts;
}

// Names of servers, volumes and objects: letters, digits and a few marks, no blanks, no
// separators of volume paths or directory-services names.
bool IsGoodName(const std::string& name, size_t maxLength) {
    if (name.empty() || name.size() > maxLength) {
        return false;
    }
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '!' || c == '&' ||
                        c == '@' || c == '$';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool ParseId(const std::string& text, uint32_t& id) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || text[0] == '-' || v == 0 || v >= 0xFFFFFFFFull) {
        return false;
    }
    id = static_cast<uint32_t>(v);
    return true;
}

Object MakeObject(const std::string& name, uint32_t id, uint16_t type, const std::string& ds) {
    Object o;
    o.name = UpperAscii(name);
    o.id = id;
    o.type = type;
    o.dsName = ds;
    return o;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string KindOf(const Object& o) {
    return o.type == kGroup ? "group " : "user ";
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
    objects.push_back(MakeObject(userName, id, kUser, ds));
    return *this;
}

Server& Server::Group(const std::string& groupName, uint32_t id, const std::string& ds) {
    objects.push_back(MakeObject(groupName, id, kGroup, ds));
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

std::string Config::Validate(int* line) const {
    auto fail = [line](int at, const std::string& message) {
        if (line != nullptr) {
            *line = at;
        }
        return message;
    };
    if (servers.empty()) {
        return fail(0, "no server is described");
    }
    for (size_t i = 0; i < servers.size(); ++i) {
        const Server& s = servers[i];
        const std::string where = "server " + s.name;
        if (!IsGoodName(s.name, 47)) {
            return fail(s.line, "bad server name '" + s.name + "'");
        }
        for (size_t j = 0; j < i; ++j) {
            if (servers[j].name == s.name) {
                return fail(s.line, "server " + s.name + " is described twice");
            }
        }
        if (s.tree.empty() && !s.binderyContexts.empty()) {
            return fail(s.binderyContextLine != 0 ? s.binderyContextLine : s.line,
                        where +
                            " has no tree, so its bindery holds its own objects: a bindery "
                            "context belongs to a server of a tree");
        }
        if (!s.tree.empty() && !IsGoodName(s.tree, 32)) {
            return fail(s.line, where + ": bad tree name '" + s.tree +
                                    "' (at most 32 letters, "
                                    "digits, '_' or '-')");
        }
        if (s.volumes.empty()) {
            return fail(s.line, where + " has no volume");
        }
        if (s.handleLimit < 1 || s.handleLimit > 255) {
            return fail(s.line, where + ": handles must lie between 1 and 255");
        }
        for (size_t v = 0; v < s.volumes.size(); ++v) {
            const Volume& vol = s.volumes[v];
            if (!IsGoodName(vol.name, 15)) {
                return fail(vol.line, where + ": bad volume name '" + vol.name + "'");
            }
            for (size_t w = 0; w < v; ++w) {
                if (s.volumes[w].name == vol.name) {
                    return fail(vol.line, where + ": volume " + vol.name + " is described twice");
                }
            }
            if (vol.dir.empty() || !IsDirectory(vol.dir)) {
                return fail(vol.line, where + ": the directory of volume " + vol.name + " ('" +
                                          vol.dir + "') does not exist");
            }
        }
        for (size_t k = 0; k < s.objects.size(); ++k) {
            const Object& o = s.objects[k];
            if (o.fromTree) {
                continue;
            }
            const std::string kind = KindOf(o);
            if (!IsGoodName(o.name, 47)) {
                return fail(o.line, where + ": bad object name '" + o.name + "'");
            }
            if (o.id == 0 || o.id == 0xFFFFFFFF) {
                return fail(o.line, where + ": " + kind + o.name + " needs a nonzero identifier");
            }
            if (s.tree.empty() && !o.dsName.empty()) {
                return fail(o.line, where + " has no tree, so " + kind + o.name +
                                        " cannot have a directory-services name");
            }
            if (!s.tree.empty() && o.dsName.empty()) {
                return fail(o.line, where + " belongs to tree " + s.tree + ", so " + kind + o.name +
                                        " needs a directory-services name");
            }
            for (size_t m = 0; m < k; ++m) {
                const Object& p = s.objects[m];
                if (p.fromTree) {
                    continue;
                }
                if (p.name == o.name) {
                    return fail(o.line, where + ": object " + o.name + " is described twice");
                }
                if (p.id == o.id) {
                    return fail(o.line, where + ": " + o.name + " and " + p.name +
                                            " have the same identifier " + PrefixedHex(o.id));
                }
                if (!o.dsName.empty() && !p.dsName.empty() && DsKey(p.dsName) == DsKey(o.dsName)) {
                    return fail(o.line, where + ": " + o.name + " and " + p.name +
                                            " have the same directory-services name");
                }
            }
        }
        if (s.login.empty()) {
            return fail(s.line, where + " has no login");
        }
    }
    // An object of a tree is of one kind, whichever server describes it.
    for (size_t i = 0; i < servers.size(); ++i) {
        const Server& s = servers[i];
        for (const Object& o : s.objects) {
            for (size_t j = 0; j < i && !o.fromTree && !o.dsName.empty(); ++j) {
                const Object* p = servers[j].FindDsObject(o.dsName);
                if (servers[j].tree == s.tree && p != nullptr && p->type != o.type) {
                    return fail(o.line, "server " + s.name + ": " + KindOf(o) + o.name + " is a " +
                                            KindOf(*p) + "on server " + servers[j].name +
                                            " of tree " + s.tree);
                }
            }
        }
    }
    // Members and logins may be objects the server knows from its tree.
    const Config known = WithTreeObjects(*this);
    for (size_t i = 0; i < servers.size(); ++i) {
        const Server& s = servers[i];
        const Server& k = known.servers[i];
        const std::string where = "server " + s.name;
        for (const Object& o : s.objects) {
            for (const std::string& member : o.fromTree ? std::vector<std::string>() : o.members) {
                const Object* u = k.FindObject(member);
                if (u == nullptr || u->type != kUser) {
                    return fail(o.line, where + ": member " + member + " of group " + o.name +
                                            " is not a user of the server");
                }
            }
        }
        const Object* who = k.FindObject(s.login);
        if (who == nullptr || who->type != kUser) {
            return fail(s.loginLine != 0 ? s.loginLine : s.line,
                        where + ": login " + s.login + " is not a user of the server");
        }
    }
    // A local directory serves one volume only, or paths below it would belong to two.
    struct Placed {
        std::string real;
        std::string label;
        int line;
    };
    std::vector<Placed> placed;
    for (const Server& s : servers) {
        for (const Volume& v : s.volumes) {
            char* real = ::realpath(v.dir.c_str(), nullptr);
            Placed p{real != nullptr ? std::string(real) : v.dir, s.name + "/" + v.name, v.line};
            std::free(real);
            for (const Placed& q : placed) {
                const auto inside = [](const std::string& a, const std::string& b) {
                    return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 &&
                                      (b == "/" || a[b.size()] == '/'));
                };
                if (inside(p.real, q.real) || inside(q.real, p.real)) {
                    return fail(p.line, "the directories of volumes " + q.label + " and " +
                                            p.label + " overlap");
                }
            }
            placed.push_back(p);
        }
    }
    return std::string();
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
                if (g.type != kGroup || g.fromTree) {
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
                if (g.type != kGroup || it == memberKeys.end()) {
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

bool ParseConfig(const std::string& text, const std::string& fileName, Config& out,
                 std::string& error) {
    out = Config();
    error.clear();
    int lineNo = 0;
    auto fail = [&](int at, const std::string& message) {
        error =
            fileName + ":" + (at > 0 ? std::to_string(at) + ":" : std::string()) + " " + message;
        return false;
    };
    // Group memberships are resolved at the end, so a group may name users described later.
    struct PendingMember {
        size_t server;
        std::string group;
        std::vector<std::string> users;
        int line;
    };
    std::vector<PendingMember> members;
    const std::string baseDir = DirOf(fileName);
    std::istringstream in(text);
    std::string raw;
    Server* server = nullptr;
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                return fail(lineNo, "a section heading must end with ']'");
            }
            const std::string inner = Trim(line.substr(1, line.size() - 2));
            const size_t blank = inner.find_first_of(" \t");
            const std::string kind = inner.substr(0, blank);
            const std::string name =
                blank == std::string::npos ? std::string() : Trim(inner.substr(blank));
            if (kind != "server") {
                return fail(lineNo, "unknown section '[" + inner + "]' (expected '[server NAME]')");
            }
            if (!IsGoodName(name, 47)) {
                return fail(lineNo, "bad server name '" + name + "'");
            }
            server = &out.AddServer(name);
            server->line = lineNo;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            return fail(lineNo, "expected 'key = value'");
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (server == nullptr) {
            return fail(lineNo, "'" + key + "' stands before the first [server NAME] section");
        }
        const size_t blank = key.find_first_of(" \t");
        const std::string word = key.substr(0, blank);
        const std::string arg =
            blank == std::string::npos ? std::string() : Trim(key.substr(blank));
        const bool wantsArg =
            word == "volume" || word == "user" || word == "group" || word == "member";
        if (wantsArg && arg.empty()) {
            return fail(lineNo, "'" + word + "' needs a name before '=' (" + word + " NAME = ...)");
        }
        if (!wantsArg && !arg.empty() && !(word == "bindery" && arg == "context")) {
            return fail(lineNo, "unknown key '" + key + "'");
        }
        if (wantsArg && !IsGoodName(arg, 47)) {
            return fail(lineNo, "bad name '" + arg + "'");
        }
        if (word == "bindery" && arg == "context") {
            const std::vector<std::string> contexts = SplitList(value, ';');
            if (contexts.empty()) {
                return fail(lineNo,
                            "bindery context needs one or more containers "
                            "('bindery context = OU=SALES.O=ACME; O=ACME')");
            }
            for (const std::string& context : contexts) {
                if (context.empty() || context.find('=') == std::string::npos) {
                    return fail(lineNo, "bad bindery context '" + context +
                                            "' (a container such as OU=SALES.O=ACME)");
                }
                server->BinderyContext(context);
            }
            server->binderyContextLine = lineNo;
        } else if (word == "tree") {
            if (!IsGoodName(value, 32)) {
                return fail(lineNo, "bad tree name '" + value +
                                        "' (at most 32 letters, digits, '_' or '-')");
            }
            server->Tree(value);
        } else if (word == "login") {
            if (!IsGoodName(value, 47)) {
                return fail(lineNo, "bad login name '" + value + "'");
            }
            server->Login(value);
            server->loginLine = lineNo;
        } else if (word == "handles") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 255) {
                return fail(lineNo, "handles must be a number from 1 to 255");
            }
            server->HandleLimit(static_cast<int>(n));
        } else if (word == "volume") {
            if (value.empty()) {
                return fail(lineNo, "volume " + arg + " needs a directory");
            }
            const std::string dir = value[0] == '/' ? value : baseDir + "/" + value;
            server->AddVolume(arg, dir);
            server->volumes.back().line = lineNo;
        } else if (word == "user" || word == "group") {
            const std::vector<std::string> parts = SplitList(value, ',');
            uint32_t id = 0;
            if (parts.empty() || !ParseId(parts[0], id)) {
                return fail(lineNo, word + " " + arg + " needs a nonzero identifier first ('" +
                                        word + " NAME = 0x01000011[, DS-NAME]')");
            }
            if (parts.size() > 2) {
                return fail(lineNo, "too many values for " + word + " " + arg);
            }
            const std::string ds = parts.size() == 2 ? parts[1] : std::string();
            if (parts.size() == 2 && ds.empty()) {
                return fail(lineNo, "empty directory-services name for " + word + " " + arg);
            }
            if (word == "user") {
                server->User(arg, id, ds);
            } else {
                server->Group(arg, id, ds);
            }
            server->objects.back().line = lineNo;
        } else if (word == "member") {
            PendingMember pm;
            pm.server = out.servers.size() - 1;
            pm.group = UpperAscii(arg);
            pm.line = lineNo;
            for (const std::string& u : SplitList(value, ',')) {
                if (!IsGoodName(u, 47)) {
                    return fail(lineNo, "bad member name '" + u + "'");
                }
                pm.users.push_back(UpperAscii(u));
            }
            members.push_back(pm);
        } else {
            return fail(lineNo, "unknown key '" + key + "'");
        }
    }
    // Members may be users the server knows from its tree.
    const Config known = WithTreeObjects(out);
    for (const PendingMember& pm : members) {
        Server& s = out.servers[pm.server];
        const Object* g = s.FindObject(pm.group);
        if (g == nullptr || g->type != kGroup) {
            return fail(pm.line, pm.group + " is not a group of server " + s.name);
        }
        for (const std::string& u : pm.users) {
            const Object* user = known.servers[pm.server].FindObject(u);
            if (user == nullptr || user->type != kUser) {
                return fail(pm.line, u + " is not a user of server " + s.name);
            }
            s.Member(pm.group, u);
        }
    }
    int at = 0;
    const std::string problem = out.Validate(&at);
    if (!problem.empty()) {
        return fail(at, problem);
    }
    return true;
}

bool LoadConfig(const std::string& fileName, Config& out, std::string& error) {
    const ConfigFileText file = ReadConfigFile(fileName);
    if (file.status != ConfigFileStatus::Read) {
        out = Config();
        error = file.problem;
        return false;
    }
    return ParseConfig(file.text, fileName, out, error);
}

std::string FormatConfig(const Config& config) {
    std::ostringstream out;
    out << "; NetWare servers emulated by Ferrit over local directories.\n"
           "; Edit with care: `ferrit-nwemu` reads the same file.\n";
    for (const Server& s : config.servers) {
        out << "\n[server " << s.name << "]\n";
        if (!s.tree.empty()) {
            out << "tree = " << s.tree << "\n";
        }
        for (const Volume& v : s.volumes) {
            out << "volume " << v.name << " = " << v.dir << "\n";
        }
        out << "login = " << s.login << "\n";
        if (s.handleLimit != 255) {
            out << "handles = " << s.handleLimit << "\n";
        }
        for (size_t i = 0; i < s.binderyContexts.size(); ++i) {
            out << (i == 0 ? "bindery context = " : "; ") << s.binderyContexts[i]
                << (i + 1 == s.binderyContexts.size() ? "\n" : "");
        }
        for (const Object& o : s.objects) {
            if (o.fromTree) {
                continue;
            }
            out << (o.type == kGroup ? "group " : "user ") << o.name << " = " << PrefixedHex(o.id);
            if (!o.dsName.empty()) {
                out << ", " << o.dsName;
            }
            out << "\n";
        }
        for (const Object& o : s.objects) {
            if (o.type != kGroup || o.members.empty() || o.fromTree) {
                continue;
            }
            out << "member " << o.name << " =";
            for (size_t i = 0; i < o.members.size(); ++i) {
                out << (i == 0 ? " " : ", ") << o.members[i];
            }
            out << "\n";
        }
    }
    return out.str();
}

}  // namespace nwemu
}  // namespace ferrit
