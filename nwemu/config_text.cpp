// The description file of the emulated servers: read into a Config, and written from one.
#include "nwemu/config_text.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "netware/netware_client.h"
#include "platform/config_file.h"
#include "support/ini_text.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

std::vector<std::string> SplitList(const std::string& s, char delimiter) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, delimiter)) {
        parts.push_back(TrimIniBlanks(part));
    }
    if (!s.empty() && s.back() == delimiter) {
        parts.push_back(std::string());
    }
    return parts;
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

}  // namespace

bool ParseConfig(const std::string& text, const std::string& fileName, Config& out,
                 std::string& error) {
    out = Config();
    error.clear();
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
    // Relative volume directories are taken from the file's own directory.
    std::string baseDir = ".";
    std::string fileLeaf;
    SplitLastName(fileName, baseDir, fileLeaf);
    IniRules rules;
    rules.commentStarts = ";#";
    rules.strict = true;
    Server* server = nullptr;
    for (const IniLine& line : ReadIniText(text, rules)) {
        const int lineNo = line.number;
        if (line.kind == IniLine::Kind::Blank || line.kind == IniLine::Kind::Comment) {
            continue;
        }
        if (line.kind == IniLine::Kind::Malformed) {
            return fail(lineNo, line.problem);
        }
        if (line.kind == IniLine::Kind::Section) {
            const std::string& inner = line.name;
            const size_t blank = inner.find_first_of(" \t");
            const std::string kind = inner.substr(0, blank);
            const std::string name =
                blank == std::string::npos ? std::string() : TrimIniBlanks(inner.substr(blank));
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
        const std::string& key = line.name;
        const std::string& value = line.value;
        if (server == nullptr) {
            return fail(lineNo, "'" + key + "' stands before the first [server NAME] section");
        }
        const size_t blank = key.find_first_of(" \t");
        const std::string word = key.substr(0, blank);
        const std::string arg =
            blank == std::string::npos ? std::string() : TrimIniBlanks(key.substr(blank));
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
            const std::string dir =
                IsAbsolutePath(value) ? value : WithTrailingSlash(baseDir) + value;
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
        if (g == nullptr || g->type != ObjType::Group) {
            return fail(pm.line, pm.group + " is not a group of server " + s.name);
        }
        for (const std::string& u : pm.users) {
            const Object* user = known.servers[pm.server].FindObject(u);
            if (user == nullptr || user->type != ObjType::User) {
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
            out << (o.type == ObjType::Group ? "group " : "user ") << o.name << " = "
                << PrefixedHex(o.id);
            if (!o.dsName.empty()) {
                out << ", " << o.dsName;
            }
            out << "\n";
        }
        for (const Object& o : s.objects) {
            if (o.type != ObjType::Group || o.members.empty() || o.fromTree) {
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
