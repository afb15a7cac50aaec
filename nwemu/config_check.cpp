// The soundness of a description as a whole: names, identifiers, the tree's objects, logins and
// members, and volume directories that exist and do not overlap.
#include <string>
#include <vector>

#include "netware/netware_client.h"
#include "nwemu/config.h"
#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

// A link at the path is followed.
bool IsDirectory(const std::string& path) {
    PathFacts facts;
    return StatPath(ResolvePath(path), facts) == 0 && facts.kind == EntryKind::Directory;
}

std::string KindOf(const Object& o) {
    return o.type == ObjType::Group ? "group " : "user ";
}

}  // namespace

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
                if (u == nullptr || u->type != ObjType::User) {
                    return fail(o.line, where + ": member " + member + " of group " + o.name +
                                            " is not a user of the server");
                }
            }
        }
        const Object* who = k.FindObject(s.login);
        if (who == nullptr || who->type != ObjType::User) {
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
            const Placed p{ResolvePath(NormalAbsolutePath(v.dir)), s.name + "/" + v.name, v.line};
            for (const Placed& q : placed) {
                if (PathAtOrBelow(p.real, q.real) || PathAtOrBelow(q.real, p.real)) {
                    return fail(p.line, "the directories of volumes " + q.label + " and " +
                                            p.label + " overlap");
                }
            }
            placed.push_back(p);
        }
    }
    return std::string();
}

}  // namespace nwemu
}  // namespace ferrit
