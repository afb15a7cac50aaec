#include "tools/nwemu/admin.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "nwemu/client_factory.h"
#include "nwemu/config_text.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

AdminResult Fail(int status, const std::string& message) {
    AdminResult r;
    r.status = status;
    r.err = message + "\n";
    return r;
}

// The system's words for a failure, or its number where it has none.
std::string Why(int code) {
    const std::string text = ErrorDescription(code);
    return text.empty() ? "error " + std::to_string(code) : text;
}

AdminResult Stored(int error, const std::string& path) {
    if (error == 0) {
        return AdminResult();
    }
    return Fail(1, path + ": cannot store the metadata (" + Why(error) + ")");
}

AdminResult BadRights(const std::string& rights) {
    return Fail(2, "rights must be letters of [SRWCEMFA], 'all' or 'none': " + rights);
}

// The entry's trustee list; a list that exists but cannot be read is a failure, never an empty
// list, so a later write does not lose it.
bool ReadTrusteeList(const std::string& path, const EntryMetadata& metadata,
                     std::vector<Trustee>& trustees, AdminResult& result) {
    int error = 0;
    if (!metadata.ReadTrustees(trustees, &error) && error != 0) {
        result = Fail(1, path + ": cannot read the trustees (" + Why(error) + ")");
        return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    PathFacts facts;
    return StatPath(path, facts) == 0;
}

// The path of a name below a directory, with the native separator.
std::string Below(const std::string& dir, const std::string& relative) {
    std::string path = WithTrailingSlash(dir) + relative;
    for (char& c : path) {
        c = c == '/' ? kPathSeparator : c;
    }
    return path;
}

}  // namespace

bool Admin::Locate(const std::string& path, Location& loc, AdminResult& result) const {
    if (!network_.LocateLocal(path, loc)) {
        result = Fail(1, path + ": not on a volume of the emulated servers");
        return false;
    }
    if (!loc.Exists()) {
        result = Fail(1, path + ": does not exist");
        return false;
    }
    return true;
}

bool Admin::FindObject(const Location& loc, const std::string& object, uint32_t& id,
                       AdminResult& result) const {
    const Server& server = network_.ServerAt(loc.server);
    const Object* found = server.FindObject(object);
    if (found == nullptr && object.find('=') != std::string::npos) {
        found = server.FindDsObject(object);
    }
    if (found == nullptr && object.size() > 2 && (object[1] == 'x' || object[1] == 'X')) {
        found = server.FindObject(static_cast<uint32_t>(std::strtoul(object.c_str(), nullptr, 16)));
    }
    if (found == nullptr) {
        result = Fail(1, "no object '" + object + "' on server " + server.name);
        return false;
    }
    id = found->id;
    return true;
}

AdminResult Admin::Show(const std::string& path) const {
    AdminResult r;
    Location loc;
    if (!Locate(path, loc, r)) {
        return r;
    }
    const Server& server = network_.ServerAt(loc.server);
    std::ostringstream out;
    out << "path: " << loc.local << "\n";
    out << "server: " << server.name << "\n";
    out << "tree: " << (server.tree.empty() ? "-" : server.tree) << "\n";
    out << "volume path: " << loc.volumePath << "\n";
    const EntryMetadata metadata = network_.Metadata(loc);
    uint32_t owner = 0;
    const bool ownOwner = metadata.ReadOwner(owner);
    if (!ownOwner) {
        owner = network_.LoginId(loc.server);
    }
    out << "owner: " << network_.ObjectLabel(loc.server, owner) << " " << PrefixedHex(owner)
        << (ownOwner ? "" : " (login)") << "\n";
    std::vector<Trustee> trustees;
    metadata.ReadTrustees(trustees);
    out << "trustees: " << trustees.size() << "\n";
    for (const Trustee& t : trustees) {
        out << "trustee: " << network_.ObjectLabel(loc.server, t.id) << " " << PrefixedHex(t.id)
            << " " << RightsLetters(t.rights) << "\n";
    }
    uint16_t mask = kAllRights;
    const bool ownMask = metadata.ReadMask(mask);
    out << "irm: " << RightsLetters(mask) << (ownMask ? "" : " (default)") << "\n";
    uint32_t blocks = 0;
    if (!loc.IsDirectory() || loc.IsRoot()) {
        out << "limit: -\n";
    } else if (metadata.ReadLimit(blocks)) {
        out << "limit: " << blocks * (kSpaceBlockBytes / 1024) << " KB, used "
            << network_.BlocksUsed(loc.local) * (kSpaceBlockBytes / 1024) << " KB\n";
    } else {
        out << "limit: none\n";
    }
    const uint32_t login = network_.LoginId(loc.server);
    out << "login: " << server.login << " " << PrefixedHex(login) << "\n";
    out << "effective: " << RightsLetters(network_.LoginRights(loc)) << "\n";
    r.out = out.str();
    return r;
}

AdminResult Admin::Grant(const std::string& path, const std::string& object,
                         const std::string& rights) const {
    AdminResult r;
    Location loc;
    uint32_t id = 0;
    uint16_t bits = 0;
    if (!ParseRightsLetters(rights, bits)) {
        return BadRights(rights);
    }
    if (!Locate(path, loc, r) || !FindObject(loc, object, id, r)) {
        return r;
    }
    const EntryMetadata metadata = network_.Metadata(loc);
    std::vector<Trustee> trustees;
    if (!ReadTrusteeList(path, metadata, trustees, r)) {
        return r;
    }
    AssignTrustee(trustees, id, bits);
    return Stored(metadata.WriteTrustees(trustees), path);
}

AdminResult Admin::Revoke(const std::string& path, const std::string& object) const {
    AdminResult r;
    Location loc;
    uint32_t id = 0;
    if (!Locate(path, loc, r) || !FindObject(loc, object, id, r)) {
        return r;
    }
    const EntryMetadata metadata = network_.Metadata(loc);
    std::vector<Trustee> trustees;
    if (!ReadTrusteeList(path, metadata, trustees, r)) {
        return r;
    }
    std::vector<Trustee> kept;
    for (const Trustee& t : trustees) {
        if (t.id != id) {
            kept.push_back(t);
        }
    }
    if (kept.size() == trustees.size()) {
        return Fail(1, object + " is not a trustee of " + path);
    }
    return Stored(metadata.WriteTrustees(kept), path);
}

AdminResult Admin::Owner(const std::string& path, const std::string& object) const {
    AdminResult r;
    Location loc;
    uint32_t id = 0;
    if (!Locate(path, loc, r) || !FindObject(loc, object, id, r)) {
        return r;
    }
    return Stored(network_.Metadata(loc).WriteOwner(id), path);
}

AdminResult Admin::Irm(const std::string& path, const std::string& rights) const {
    AdminResult r;
    Location loc;
    uint16_t bits = 0;
    if (!ParseRightsLetters(rights, bits)) {
        return BadRights(rights);
    }
    if (!Locate(path, loc, r)) {
        return r;
    }
    return Stored(network_.Metadata(loc).WriteMask(bits), path);
}

AdminResult Admin::Limit(const std::string& path, const std::string& kb) const {
    AdminResult r;
    Location loc;
    uint32_t blocks = 0;
    if (UpperAscii(kb) != "NONE") {
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(kb.c_str(), &end, 10);
        const unsigned long long maxKb = 0x7FFFFFFEull * (kSpaceBlockBytes / 1024);
        if (kb.empty() || kb[0] == '-' || *end != '\0' || errno != 0 || value > maxKb) {
            return Fail(2, "the limit must be a number of KB or 'none': " + kb);
        }
        blocks = static_cast<uint32_t>((value + kSpaceBlockBytes / 1024 - 1) /
                                       (kSpaceBlockBytes / 1024));
    }
    if (!Locate(path, loc, r)) {
        return r;
    }
    if (!loc.IsDirectory()) {
        return Fail(1, path + ": space limits belong to directories");
    }
    if (loc.IsRoot() && blocks != 0) {
        return Fail(1, path + ": the root of a volume carries no directory space limit");
    }
    return Stored(network_.Metadata(loc).WriteLimit(blocks), path);
}

AdminResult Admin::Rights(const std::string& path) const {
    AdminResult r;
    Location loc;
    if (!Locate(path, loc, r)) {
        return r;
    }
    r.out = RightsLetters(network_.LoginRights(loc)) + "\n";
    return r;
}

AdminResult BuildDemo(const std::string& dirArg, const std::string& configFile, bool force) {
    if (dirArg.empty()) {
        return Fail(2, "demo needs a directory");
    }
    if (MakeDirectoriesPlain(dirArg, 0777) != 0) {
        return Fail(1, dirArg + ": cannot create the directory");
    }
    const std::string dir = ResolvePath(dirArg);
    const std::string volumes[] = {Below(dir, "FS1"), Below(dir, "FS2"), Below(dir, "FS3")};
    if (!force) {
        if (Exists(configFile)) {
            return Fail(1, configFile + " exists; use --force to overwrite it");
        }
        for (const std::string& v : volumes) {
            if (Exists(v)) {
                return Fail(1, v + " exists; use --force to build the demonstration afresh");
            }
        }
    }
    for (const std::string& v : volumes) {
        if (const int err = DeleteTree(v)) {
            return Fail(1, v + ": cannot remove the old demonstration (" + Why(err) + ")");
        }
    }
    const std::string fs1 = Below(dir, "FS1/DATA");
    const std::string fs2 = Below(dir, "FS2/DATA");
    const std::string fs3 = Below(dir, "FS3/DATA");
    for (const std::string& d :
         {Below(fs1, "PROJECTS/ALPHA"), Below(fs1, "PROJECTS/BETA/NOTES"), Below(fs1, "COPY"),
          Below(fs2, "TARGET"), Below(fs2, "LOCKED"), Below(fs3, "TARGET")}) {
        if (MakeDirectoriesPlain(d, 0777) != 0) {
            return Fail(1, d + ": cannot create the directory");
        }
    }

    // Two servers of tree ACME_TREE know the same people under their own identifiers; the
    // bindery server FS3 knows them by leaf name. FS2 does not describe TEMP: it knows TEMP
    // from the tree, under an identifier of its own. FS3's bindery has neither TEMP nor ADMIN,
    // so some trustees and owners have no counterpart there.
    Config config;
    config.AddServer("FS1")
        .Tree("ACME_TREE")
        .AddVolume("DATA", fs1)
        .Login("JSMITH")
        .User("ADMIN", 0x01000001, "CN=ADMIN.O=ACME")
        .User("JSMITH", 0x01000011, "CN=JSMITH.OU=SALES.O=ACME")
        .User("MBROWN", 0x01000012, "CN=MBROWN.OU=SALES.O=ACME")
        .User("TEMP", 0x01000013, "CN=TEMP.OU=SALES.O=ACME")
        .Group("SALES", 0x02000021, "CN=SALES.OU=SALES.O=ACME")
        .Member("SALES", "JSMITH")
        .Member("SALES", "MBROWN")
        .Member("SALES", "TEMP");
    config.AddServer("FS2")
        .Tree("ACME_TREE")
        .AddVolume("DATA", fs2)
        .Login("JSMITH")
        .User("ADMIN", 0x0B000101, "CN=ADMIN.O=ACME")
        .User("JSMITH", 0x0B000105, "CN=JSMITH.OU=SALES.O=ACME")
        .User("MBROWN", 0x0B000106, "CN=MBROWN.OU=SALES.O=ACME")
        .Group("SALES", 0x0C000201, "CN=SALES.OU=SALES.O=ACME")
        .Member("SALES", "JSMITH")
        .Member("SALES", "MBROWN");
    config.AddServer("FS3")
        .AddVolume("DATA", fs3)
        .Login("JSMITH")
        .User("JSMITH", 0x00000301)
        .User("MBROWN", 0x00000302)
        .Group("SALES", 0x00000401)
        .Member("SALES", "JSMITH")
        .Member("SALES", "MBROWN");
    const std::string problem = config.Validate();
    if (!problem.empty()) {
        return Fail(1, "demo: " + problem);
    }

    struct FileSpec {
        std::string path;
        std::string text;
    } files[] = {
        {Below(fs1, "PROJECTS/readme.txt"), "The projects of the sales department.\n"},
        {Below(fs1, "PROJECTS/ALPHA/plan.txt"), "Alpha: plan for the first quarter.\n"},
        {Below(fs1, "PROJECTS/ALPHA/minutes.txt"), "Alpha: minutes of the kick-off.\n"},
        {Below(fs1, "PROJECTS/BETA/budget.txt"), "Beta: budget 12,000.\n"},
        {Below(fs1, "PROJECTS/BETA/NOTES/notes.txt"), "Beta: loose notes.\n"},
    };
    for (const FileSpec& f : files) {
        if (!SaveWholeFile(f.path, f.text, WholeFileSave())) {
            return Fail(1, f.path + ": cannot write");
        }
    }

    Admin admin(config);
    struct Step {
        const char* what;  // grant, owner, irm, limit
        std::string path;
        std::string a;
        std::string b;
    } steps[] = {
        {"grant", fs1, "JSMITH", "RWCEMFA"},
        {"grant", fs1, "SALES", "RF"},
        {"grant", Below(fs1, "PROJECTS"), "MBROWN", "RWCEF"},
        {"grant", Below(fs1, "PROJECTS"), "SALES", "RWCF"},
        {"grant", Below(fs1, "PROJECTS"), "TEMP", "RF"},
        {"owner", Below(fs1, "PROJECTS"), "MBROWN", ""},
        {"limit", Below(fs1, "PROJECTS"), "10240", ""},
        {"owner", Below(fs1, "PROJECTS/readme.txt"), "ADMIN", ""},
        {"irm", Below(fs1, "PROJECTS/ALPHA"), "RWCEF", ""},
        {"grant", Below(fs1, "PROJECTS/ALPHA"), "JSMITH", "RWCEMFA"},
        {"grant", Below(fs1, "PROJECTS/ALPHA"), "MBROWN", "RWCEMF"},
        {"limit", Below(fs1, "PROJECTS/ALPHA"), "2048", ""},
        {"owner", Below(fs1, "PROJECTS/ALPHA/plan.txt"), "MBROWN", ""},
        {"grant", Below(fs1, "PROJECTS/ALPHA/plan.txt"), "SALES", "RWF"},
        {"grant", Below(fs1, "PROJECTS/ALPHA/plan.txt"), "TEMP", "R"},
        {"owner", Below(fs1, "PROJECTS/ALPHA/minutes.txt"), "TEMP", ""},
        {"grant", Below(fs1, "PROJECTS/BETA"), "ADMIN", "SRWCEMFA"},
        {"grant", Below(fs1, "PROJECTS/BETA"), "SALES", "RF"},
        {"owner", Below(fs1, "PROJECTS/BETA"), "ADMIN", ""},
        {"irm", Below(fs1, "PROJECTS/BETA/NOTES"), "RF", ""},
        {"limit", Below(fs1, "PROJECTS/BETA/NOTES"), "512", ""},
        {"grant", fs2, "JSMITH", "RWCEMFA"},
        {"grant", fs2, "SALES", "RF"},
        {"irm", Below(fs2, "LOCKED"), "RWCEF", ""},
        {"grant", fs3, "JSMITH", "RWCEMFA"},
    };
    for (const Step& s : steps) {
        const std::string what = s.what;
        const AdminResult r = what == "grant"   ? admin.Grant(s.path, s.a, s.b)
                              : what == "owner" ? admin.Owner(s.path, s.a)
                              : what == "irm"   ? admin.Irm(s.path, s.a)
                                                : admin.Limit(s.path, s.a);
        if (r.status != 0) {
            return Fail(1, "demo: " + r.err.substr(0, r.err.size() - 1));
        }
    }

    if (MakeDirectoriesPlain(DirOf(configFile), 0777) != 0) {
        return Fail(1, configFile + ": cannot create its directory");
    }
    if (!SaveWholeFile(configFile, FormatConfig(config), WholeFileSave())) {
        return Fail(1, configFile + ": cannot write the configuration");
    }

    const bool isDefault = configFile == DefaultNetWareConfigPath();
    const std::string cfgOption = isDefault ? std::string() : " --config=" + configFile;
    std::ostringstream out;
    out << "Demonstration built in " << dir << "\n"
        << "Configuration written to " << configFile << "\n"
        << "\n"
        << "Servers: FS1 and FS2 in tree ACME_TREE, FS3 bindery only; the workstation is logged\n"
        << "in as JSMITH on each. Users ADMIN, JSMITH, MBROWN, TEMP and group SALES in the\n"
        << "tree (FS2 knows TEMP from the tree alone); FS3 has no TEMP and no ADMIN.\n"
        << "\n"
        << "Type these paths into the window and tick the NetWare options (Keep Owner, Keep\n"
        << "Directory Trustees, Keep File Trustees, Keep Inherited Rights Mask, Keep Space\n"
        << "Limitations):\n"
        << "  From:                                        " << Below(fs1, "PROJECTS") << "\n"
        << "  To, same server (server-side copy):          " << Below(fs1, "COPY") << "\n"
        << "  To, other server of the tree (translated):   " << Below(fs2, "TARGET") << "\n"
        << "  To, bindery-only server (by leaf names):     " << Below(fs3, "TARGET") << "\n"
        << "  To, without Access Control for JSMITH:       " << Below(fs2, "LOCKED") << "\n"
        << "\n";
    if (!isDefault) {
        out << "The window reads " << DefaultNetWareConfigPath() << "; for this file run\n"
            << "  ferrit-cli --netware-config=" << configFile << " ...\n\n";
    }
    out << "Look at the metadata before and after a run:\n"
        << "  ferrit-nwemu" << cfgOption << " show " << Below(fs1, "PROJECTS/ALPHA") << "\n"
        << "  ferrit-nwemu" << cfgOption << " show " << Below(fs2, "TARGET/ALPHA") << "\n";
    AdminResult r;
    r.out = out.str();
    return r;
}

namespace {

const char kUsage[] =
    "usage: ferrit-nwemu [--config=FILE] COMMAND ...\n"
    "  show PATH                 owner, trustees, mask, limit and effective rights\n"
    "  rights PATH               the login's effective rights, as [SRWCEMFA]\n"
    "  grant PATH OBJECT RIGHTS  make OBJECT a trustee with RIGHTS (replacing its assignment)\n"
    "  revoke PATH OBJECT        remove OBJECT's trustee assignment\n"
    "  owner PATH OBJECT         set the owner\n"
    "  irm PATH RIGHTS           set the inherited rights mask\n"
    "  limit PATH KB|none        set or remove a directory's space limit\n"
    "  demo DIR [--force]        build a demonstration under DIR and write the configuration\n"
    "OBJECT is a name of the path's server, a directory-services name or a 0x identifier.\n"
    "RIGHTS are letters of [SRWCEMFA], 'all' or 'none'. The configuration is FILE, else\n";

// The usage, ending with where this system keeps the configuration when no FILE is given.
std::string Usage() {
    return kUsage + DefaultNetWareConfigPath() + "\n";
}

}  // namespace

AdminResult RunNwEmu(const std::vector<std::string>& args) {
    std::string configFile;
    bool force = false;
    std::vector<std::string> words;
    for (const std::string& a : args) {
        if (a.rfind("--config=", 0) == 0) {
            configFile = a.substr(9);
        } else if (a == "--force") {
            force = true;
        } else if (a == "--help" || a == "-h" || a == "--version") {
            AdminResult r;
            r.out = a == "--version" ? std::string("ferrit-nwemu (Ferrit) ") + FERRIT_VERSION + "\n"
                                     : Usage();
            return r;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return Fail(2, "unknown option " + a + "\n" + Usage());
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) {
        return Fail(2, Usage());
    }
    if (configFile.empty()) {
        configFile = DefaultNetWareConfigPath();
    }
    const std::string& command = words[0];
    struct Shape {
        const char* name;
        size_t words;
    } shapes[] = {{"show", 2},  {"rights", 2}, {"grant", 4}, {"revoke", 3},
                  {"owner", 3}, {"irm", 3},    {"limit", 3}, {"demo", 2}};
    bool known = false;
    for (const Shape& s : shapes) {
        if (command == s.name) {
            known = true;
            if (words.size() != s.words) {
                return Fail(2, "wrong number of arguments for " + command + "\n" + Usage());
            }
        }
    }
    if (!known) {
        return Fail(2, "unknown command " + command + "\n" + Usage());
    }
    if (command == "demo") {
        return BuildDemo(words[1], configFile, force);
    }
    Config config;
    std::string error;
    if (!LoadConfig(configFile, config, error)) {
        return Fail(1, error);
    }
    const Admin admin(std::move(config));
    if (command == "show") {
        return admin.Show(words[1]);
    }
    if (command == "rights") {
        return admin.Rights(words[1]);
    }
    if (command == "grant") {
        return admin.Grant(words[1], words[2], words[3]);
    }
    if (command == "revoke") {
        return admin.Revoke(words[1], words[2]);
    }
    if (command == "owner") {
        return admin.Owner(words[1], words[2]);
    }
    if (command == "irm") {
        return admin.Irm(words[1], words[2]);
    }
    return admin.Limit(words[1], words[2]);
}

}  // namespace nwemu
}  // namespace ferrit
