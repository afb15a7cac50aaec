#include "nwemu/config.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "nwemu/client.h"
#include "nwemu/client_factory.h"
#include "nwemu/config_text.h"
#include "nwemu/network.h"
#include "platform/fs_util.h"
#include "testing/emulated_servers.h"
#include "testing/odd_files.h"
#include "testing/scoped_env.h"
#include "testing/system.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace ferrit {
namespace nwemu {
namespace {

using EmuScratch = testing::TempDir;

std::string GoodText(EmuScratch& scratch) {
    scratch.Dir("v1");
    scratch.Dir("v2");
    scratch.Dir("v3");
    return "; comment\n"
           "# another\n"
           "\n"
           "[server fs1]\n"
           "tree = acme\n"
           "volume data = " +
           scratch.Path("v1") +
           "\n"
           "volume SYS = v2\n"  // relative to the file's own directory
           "login = jsmith\n"
           "handles = 12\n"
           "bindery context = OU=SALES.O=ACME ; o=acme\n"
           "user JSMITH = 0x01000011, CN=JSMITH.OU=SALES.O=ACME\n"
           "group SALES = 33554465 , CN=SALES.O=ACME\n"
           "member sales = jsmith\n"
           "  [server FS3]  \n"
           "volume DATA = " +
           scratch.Path("v3") +
           "\n"
           "login = JSMITH\n"
           "user JSMITH = 0x301\n";
}

TEST(EmulatedConfigTest, ReadsEveryKindOfSetting) {
    EmuScratch scratch;
    Config config;
    std::string error;
    ASSERT_TRUE(ParseConfig(GoodText(scratch), scratch.Path("ferrit-netware.ini"), config, error))
        << error;
    ASSERT_EQ(2u, config.servers.size());
    const Server& fs1 = config.servers[0];
    EXPECT_EQ("FS1", fs1.name);
    EXPECT_EQ("ACME", fs1.tree);
    ASSERT_EQ(2u, fs1.volumes.size());
    EXPECT_EQ("DATA", fs1.volumes[0].name);
    EXPECT_EQ(scratch.Path("v2"), testing::WithSlashes(fs1.volumes[1].dir));
    EXPECT_EQ("JSMITH", fs1.login);
    EXPECT_EQ(12, fs1.handleLimit);
    EXPECT_EQ((std::vector<std::string>{"OU=SALES.O=ACME", "o=acme"}), fs1.binderyContexts);
    const Object* sales = fs1.FindObject("sales");
    ASSERT_NE(nullptr, sales);
    EXPECT_EQ(0x02000021u, sales->id);
    EXPECT_EQ(ObjType::Group, sales->type);
    EXPECT_EQ("CN=SALES.O=ACME", sales->dsName);
    EXPECT_EQ(std::vector<std::string>{"JSMITH"}, sales->members);
    const Server* fs3 = config.FindServer("fs3");
    ASSERT_NE(nullptr, fs3);
    EXPECT_EQ("", fs3->tree);
    EXPECT_EQ(0x301u, fs3->LoggedIn()->id);

    // The written form reads back the same.
    Config again;
    ASSERT_TRUE(ParseConfig(FormatConfig(config), "again.ini", again, error)) << error;
    EXPECT_EQ(FormatConfig(config), FormatConfig(again));
    EXPECT_EQ(12, again.servers[0].handleLimit);
    EXPECT_EQ(fs1.binderyContexts, again.servers[0].binderyContexts);
}

TEST(EmulatedConfigTest, MalformedFilesNameTheLineAndTheFault) {
    EmuScratch scratch;
    const std::string dir = scratch.Dir("vol");
    const std::string head = "[server FS1]\nvolume DATA = " + dir + "\nlogin = JSMITH\n";
    const std::string user = "user JSMITH = 0x10\n";
    struct Case {
        std::string text;
        std::string expected;  // after "cfg.ini:"
    } cases[] = {
        {"tree = ACME\n", "1: 'tree' stands before the first [server NAME] section"},
        {"[server FS1\n", "1: a section heading must end with ']'"},
        {"[volume X]\n", "1: unknown section '[volume X]' (expected '[server NAME]')"},
        {head + user + "colour = blue\n", "5: unknown key 'colour'"},
        {head + user + "just words\n", "5: expected 'key = value'"},
        {head + "user JSMITH = zero\n", "4: user JSMITH needs a nonzero identifier first"},
        {head + "user JSMITH = 0\n", "4: user JSMITH needs a nonzero identifier first"},
        {head + "user = 0x10\n", "4: 'user' needs a name before '='"},
        {head + user + "user MBROWN = 0x10\n",
         "5: server FS1: MBROWN and JSMITH have the same identifier 0x00000010"},
        {head + user + "user jsmith = 0x11\n", "5: server FS1: object JSMITH is described twice"},
        {head + user + "handles = 300\n", "5: handles must be a number from 1 to 255"},
        {head + user + "member STAFF = JSMITH\n", "5: STAFF is not a group of server FS1"},
        {head + user + "group STAFF = 0x20\nmember STAFF = NOBODY\n",
         "6: NOBODY is not a user of server FS1"},
        {head + user + "tree = ACME\n",
         "4: server FS1 belongs to tree ACME, so user JSMITH needs a directory-services name"},
        {head + "user JSMITH = 0x10, CN=JSMITH.O=ACME\n",
         "4: server FS1 has no tree, so user JSMITH cannot have a directory-services name"},
        {"[server FS1]\nvolume DATA = " + dir + "\n" + user, "1: server FS1 has no login"},
        {head + "user MBROWN = 0x10\n", "3: server FS1: login JSMITH is not a user of the server"},
        {"[server FS1]\nlogin = JSMITH\n" + user, "1: server FS1 has no volume"},
        {head + user + "volume SYS = " + scratch.Path("missing") + "\n",
         "5: server FS1: the directory of volume SYS ('" + scratch.Path("missing") +
             "') does not exist"},
        {head + user + "volume SYS = " + dir + "/sub\n",
         "5: server FS1: the directory of volume SYS"},
        {head + user + "[server fs1]\nvolume DATA = " + scratch.Dir("v2") + "\nlogin = JSMITH\n" +
             user,
         "5: server FS1 is described twice"},
        {head + user + "bindery context = O=ACME\n",
         "5: server FS1 has no tree, so its bindery holds its own objects"},
        {head + user + "tree = ACME\nbindery context = SALES\n", "6: bad bindery context 'SALES'"},
        {"", "no server is described"},
    };
    scratch.Dir("vol/sub");
    cases[19].expected = "5: the directories of volumes FS1/DATA and FS1/SYS overlap";
    for (const Case& c : cases) {
        Config config;
        std::string error;
        EXPECT_FALSE(ParseConfig(c.text, "cfg.ini", config, error)) << c.text;
        const std::string expected = c.expected[0] >= '0' && c.expected[0] <= '9'
                                         ? "cfg.ini:" + c.expected
                                         : "cfg.ini: " + c.expected;
        EXPECT_EQ(0u, error.find(expected)) << "got: " << error << "\nwanted: " << expected;
    }
}

// A tree described once: FS1 names most people, FS2 names two of them itself (with its own
// identifiers) and one more, and FS3 is a bindery server beside the tree.
std::string TreeText(EmuScratch& scratch) {
    return "[server FS1]\ntree = ACME\nvolume DATA = " + scratch.Dir("t1") +
           "\nlogin = JSMITH\n"
           "user JSMITH = 0x11, CN=JSMITH.O=ACME\n"
           "user MBROWN = 0x12, CN=MBROWN.O=ACME\n"
           "group SALES = 0x21, CN=SALES.O=ACME\n"
           "member SALES = JSMITH, KLEE\n"  // KLEE: described by FS2 only
           "[server FS2]\ntree = acme\nvolume DATA = " +
           scratch.Dir("t2") +
           "\nlogin = JSMITH\n"  // known from the tree
           "user MBROWN = 0x512, CN=MBROWN.O=ACME\n"
           "user KLEE = 0x513, cn=klee.o=acme\n"
           "[server FS3]\nvolume DATA = " +
           scratch.Dir("t3") +
           "\nlogin = JSMITH\n"
           "user JSMITH = 0x301\n";
}

TEST(TreeObjectsTest, EveryServerOfATreeKnowsEveryObjectOfTheTree) {
    EmuScratch scratch;
    Config config;
    std::string error;
    ASSERT_TRUE(ParseConfig(TreeText(scratch), "tree.ini", config, error)) << error;
    const Network net(config);
    const Network again(config);
    struct Case {
        int server;
        const char* name;
        bool known;
        uint32_t id;  // 0: an identifier of the server's own, derived
        const char* dsKey;
    } cases[] = {
        {0, "JSMITH", true, 0x11, "JSMITH.ACME"},
        {0, "MBROWN", true, 0x12, "MBROWN.ACME"},
        {0, "KLEE", true, 0, "KLEE.ACME"},
        {0, "SALES", true, 0x21, "SALES.ACME"},
        {1, "JSMITH", true, 0, "JSMITH.ACME"},
        {1, "MBROWN", true, 0x512, "MBROWN.ACME"},
        {1, "KLEE", true, 0x513, "KLEE.ACME"},
        {1, "SALES", true, 0, "SALES.ACME"},
        {2, "JSMITH", true, 0x301, ""},
        {2, "MBROWN", false, 0, ""},
        {2, "KLEE", false, 0, ""},
        {2, "SALES", false, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.server) + " " + c.name;
        const Object* o = net.ServerAt(c.server).FindObject(c.name);
        ASSERT_EQ(c.known, o != nullptr) << what;
        if (o == nullptr) {
            continue;
        }
        EXPECT_EQ(c.dsKey, DsKey(o->dsName)) << what;
        EXPECT_EQ(c.id == 0, o->fromTree) << what;
        if (c.id != 0) {
            EXPECT_EQ(c.id, o->id) << what;
            continue;
        }
        // A derived identifier: unique on its server, found by itself, the same on every start.
        EXPECT_EQ(o, net.ServerAt(c.server).FindObject(o->id)) << what;
        EXPECT_EQ(o->id, again.ServerAt(c.server).FindObject(c.name)->id) << what;
        for (const Case& d : cases) {
            if (d.server == c.server && d.id != 0) {
                EXPECT_NE(d.id, o->id) << what;
            }
        }
    }
    // The group's members are the tree's on both tree servers, so the login reaches the group's
    // trustee assignments on FS2 as well.
    for (int s : {0, 1}) {
        const Object* sales = net.ServerAt(s).FindObject("SALES");
        ASSERT_NE(nullptr, sales);
        EXPECT_EQ((std::vector<std::string>{"JSMITH", "KLEE"}), sales->members) << s;
        const std::vector<uint32_t> ids = net.SecurityIds(s, net.LoginId(s));
        EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), sales->id)) << s;
    }
    // The file keeps its short form: derived objects are never written.
    Config reread;
    ASSERT_TRUE(ParseConfig(FormatConfig(WithTreeObjects(config)), "tree.ini", reread, error))
        << error;
    EXPECT_EQ(2u, reread.servers[1].objects.size());
}

TEST(TreeObjectsTest, ObjectsOfATreeMustAgreeAcrossItsServers) {
    EmuScratch scratch;
    const std::string fs1 = "[server FS1]\ntree = ACME\nvolume DATA = " + scratch.Dir("u1") +
                            "\nlogin = JSMITH\nuser JSMITH = 0x11, CN=JSMITH.O=ACME\n";
    const std::string fs2 = "[server FS2]\ntree = ACME\nvolume DATA = " + scratch.Dir("u2") + "\n";
    const std::string fs3 = "[server FS3]\nvolume DATA = " + scratch.Dir("u3") + "\n";
    struct Case {
        std::string text;
        std::string expected;  // empty: sound
    } cases[] = {
        {fs1 + fs2 + "login = JSMITH\n", ""},
        {fs1 + fs2 + "login = JSMITH\ngroup JSMITH = 0x40, CN=JSMITH.O=ACME\n",
         "tree.ini:10: server FS2: group JSMITH is a user on server FS1 of tree ACME"},
        {fs1 + fs2 + "login = NOBODY\n",
         "tree.ini:9: server FS2: login NOBODY is not a user of the server"},
        {fs1 + fs3 + "login = JSMITH\n",
         "tree.ini:8: server FS3: login JSMITH is not a user of the server"},
        {fs1 + fs3 + "login = X\nuser X = 1\ngroup G = 2\nmember G = JSMITH\n",
         "tree.ini:11: JSMITH is not a user of server FS3"},
        {fs1 + "user J2 = 0x12, JSMITH.ACME\n",
         "tree.ini:6: server FS1: J2 and JSMITH have the same directory-services name"},
    };
    for (const Case& c : cases) {
        Config config;
        std::string error;
        EXPECT_EQ(c.expected.empty(), ParseConfig(c.text, "tree.ini", config, error)) << c.text;
        EXPECT_EQ(c.expected, error) << c.text;
    }
}

class FactoryTest : public ::testing::Test {
  protected:
    FactoryTest()
        : configDir(env.UseConfigDirectoryBelow(scratch.Dir("config"))),
          configFile(configDir + "/ferrit-netware.ini") {
        testing::MakeDirs(configDir);
    }
    EmuScratch scratch;
    testing::ScopedEnv env;
    const std::string configDir;
    const std::string configFile;  // where the program looks for the description
};

// The description sits beside the settings file even where HOME is unset or empty (it used to
// be looked for in /.config then, while the settings went to the user's home).
// A server of a tree answers bindery calls for the objects of its bindery contexts alone (by
// default the containers of the objects it describes); directory-services calls find every
// object of the tree.
TEST(TreeObjectsTest, BinderyCallsFindTheObjectsOfTheBinderyContexts) {
    EmuScratch scratch;
    struct Row {
        const char* context;  // FS1's setting; empty: none
        const char* name;
        bool found;
    } rows[] = {
        {"", "JSMITH", true},
        {"", "ADMIN", true},
        {"", "KLEE", false},
        {"OU=HR.O=ACME", "KLEE", true},
        {"OU=HR.O=ACME", "JSMITH", false},
        {"ou=hr.o=acme; O=ACME", "ADMIN", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.context) + " " + row.name);
        const std::string text =
            "[server FS1]\ntree = ACME\nvolume DATA = " + scratch.Dir("b1") + "\nlogin = JSMITH\n" +
            (row.context[0] != '\0' ? "bindery context = " + std::string(row.context) + "\n" : "") +
            "user JSMITH = 0x11, CN=JSMITH.OU=SALES.O=ACME\nuser ADMIN = 0x12, CN=ADMIN.O=ACME\n"
            "[server FS2]\ntree = ACME\nvolume DATA = " +
            scratch.Dir("b2") + "\nlogin = KLEE\nuser KLEE = 0x513, CN=KLEE.OU=HR.O=ACME\n";
        Config config;
        std::string error;
        ASSERT_TRUE(ParseConfig(text, "ctx.ini", config, error)) << error;
        Client client(config);
        const NWCONN_HANDLE fs1 = client.ConnectionOf("FS1");
        NWObjectID id = 0;
        EXPECT_EQ(client.GetObjectID(fs1, row.name, ObjType::User, id) == 0, row.found);
        std::string name;
        uint16_t type = 0;
        const NWObjectID known = client.Servers().ServerAt(0).FindObject(row.name)->id;
        EXPECT_EQ(client.GetObjectName(fs1, known, name, type) == 0, row.found);
        NWDSContextHandle context = 0;
        ASSERT_EQ(0u, client.DSCreateContext(context));
        EXPECT_EQ(0u, client.DSMapIDToName(context, fs1, known, name));
        client.DSFreeContext(context);
    }
}

#ifndef _WIN32  // the rules of $HOME
TEST(DefaultNetWareConfigPath, LiesInTheSettingsFilesDirectory) {
    const passwd* pw = getpwuid(getuid());
    ASSERT_NE(nullptr, pw);
    struct Case {
        const char* home;  // null: unset
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/h", "/h/.config/ferrit-netware.ini"},
        {nullptr, std::string(pw->pw_dir) + "/.config/ferrit-netware.ini"},
        {"", std::string(pw->pw_dir) + "/.config/ferrit-netware.ini"},
    };
    for (const Case& c : cases) {
        testing::ScopedEnv env;
        env.Set("XDG_CONFIG_HOME", nullptr);
        env.Set("HOME", c.home);
        EXPECT_EQ(c.expected, DefaultNetWareConfigPath()) << (c.home ? c.home : "(unset)");
        EXPECT_EQ(ConfigDirectory() + "/ferrit-netware.ini", DefaultNetWareConfigPath());
    }
}

#endif

TEST_F(FactoryTest, ChoosesTheEmulatedClientOnlyForASoundConfiguration) {
    EXPECT_EQ(testing::WithSlashes(configFile), testing::WithSlashes(DefaultNetWareConfigPath()));

    // No file: the absent client, silently.
    NetWareClientChoice choice = ChooseNetWareClient();
    EXPECT_FALSE(choice.emulated);
    EXPECT_EQ("", choice.error);
    ASSERT_NE(nullptr, choice.client);
    uint32_t ref = 0;
    EXPECT_NE(0, choice.client->ConnLayerInit(ref));

    // An explicit file that is not there is an error.
    choice = ChooseNetWareClient(scratch.Path("nothing.ini"));
    EXPECT_FALSE(choice.emulated);
    EXPECT_EQ(0u, choice.error.find(scratch.Path("nothing.ini") + ": cannot be read"));

    // A malformed default file: the absent client and the reason.
    testing::WriteFile(configFile, "[server FS1]\nvolume DATA = /nonexistent-ferrit\n");
    choice = ChooseNetWareClient();
    EXPECT_FALSE(choice.emulated);
    EXPECT_NE(std::string::npos,
              choice.error.find("ferrit-netware.ini:2: server FS1: the directory"))
        << choice.error;
    EXPECT_NE(0, choice.client->CallsInit());

    // A sound file: the emulated client serving its servers.
    testing::WriteFile(configFile, "[server FS1]\nvolume DATA = " + scratch.Dir("vol") +
                                       "\nlogin = U\nuser U = 1\n");
    choice = ChooseNetWareClient();
    ASSERT_TRUE(choice.emulated) << choice.error;
    EXPECT_EQ("", choice.error);
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dh = 0;
    std::string vp;
    EXPECT_EQ(0, choice.client->ParsePath(scratch.Path("vol"), conn, dh, vp));
    EXPECT_EQ("DATA:", vp);
    EXPECT_TRUE(choice.configured);
}

// The description in the configuration directory, or given by name, that is not a regular file
// of reasonable size: the absent client, and a reason that names the file.
class FactoryRefusal : public FactoryTest,
                       public ::testing::WithParamInterface<testing::OddFile> {};

TEST_P(FactoryRefusal, GivesTheAbsentClientAndNamesTheFile) {
    ASSERT_TRUE(testing::MakeOddFile(configFile, GetParam()));
    for (const std::string& given : {std::string(), configFile}) {
        const NetWareClientChoice choice = ChooseNetWareClient(given);
        EXPECT_TRUE(choice.configured);
        EXPECT_FALSE(choice.emulated);
        EXPECT_EQ(testing::WithSlashes(configFile + ": " + testing::OddFileProblem(GetParam())),
                  testing::WithSlashes(choice.error));
        uint32_t ref = 0;
        EXPECT_NE(0, choice.client->ConnLayerInit(ref));
    }
}

INSTANTIATE_TEST_SUITE_P(Odd, FactoryRefusal, ::testing::ValuesIn(testing::AllOddFiles()),
                         [](const ::testing::TestParamInfo<testing::OddFile>& info) {
                             return std::string(testing::OddFileName(info.param));
                         });

TEST_F(FactoryTest, WithoutAnyFileNoClientIsConfigured) {
    // Windows asks for the installed client instead, whose start-up tells whether it is there.
    EXPECT_EQ(testing::kOnWindows, ChooseNetWareClient().configured);
    // A dangling link of the name is a configuration gone wrong, not none at all.
    SKIP_ON_WINDOWS("symbolic links");
    ASSERT_TRUE(testing::MakeSymlink(scratch.Path("gone"), configFile));
    const NetWareClientChoice choice = ChooseNetWareClient();
    EXPECT_TRUE(choice.configured);
    EXPECT_NE(std::string::npos, choice.error.find("cannot be read")) << choice.error;
}

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
