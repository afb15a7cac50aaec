#include "nwemu/config.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "nwemu/client.h"
#include "nwemu/client_factory.h"
#include "testing/emulated_servers.h"

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
    EXPECT_EQ(scratch.Path("v2"), fs1.volumes[1].dir);
    EXPECT_EQ("JSMITH", fs1.login);
    EXPECT_EQ(12, fs1.handleLimit);
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

class FactoryTest : public ::testing::Test {
  protected:
    FactoryTest() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld = old != nullptr;
        oldValue = hadOld ? old : "";
        ::setenv("XDG_CONFIG_HOME", scratch.Dir("config").c_str(), 1);
    }
    ~FactoryTest() override {
        if (hadOld) {
            ::setenv("XDG_CONFIG_HOME", oldValue.c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    EmuScratch scratch;
    bool hadOld = false;
    std::string oldValue;
};

TEST_F(FactoryTest, ChoosesTheEmulatedClientOnlyForASoundConfiguration) {
    EXPECT_EQ(scratch.Path("config/ferrit-netware.ini"), DefaultNetWareConfigPath());

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
    scratch.File("config/ferrit-netware.ini", "[server FS1]\nvolume DATA = /nonexistent-ferrit\n");
    choice = ChooseNetWareClient();
    EXPECT_FALSE(choice.emulated);
    EXPECT_NE(std::string::npos,
              choice.error.find("ferrit-netware.ini:2: server FS1: the directory"))
        << choice.error;
    EXPECT_NE(0, choice.client->CallsInit());

    // A sound file: the emulated client serving its servers.
    scratch.File("config/ferrit-netware.ini",
                 "[server FS1]\nvolume DATA = " + scratch.Dir("vol") + "\nlogin = U\nuser U = 1\n");
    choice = ChooseNetWareClient();
    ASSERT_TRUE(choice.emulated) << choice.error;
    EXPECT_EQ("", choice.error);
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dh = 0;
    std::string vp;
    EXPECT_EQ(0, choice.client->ParsePath(scratch.Path("vol"), conn, dh, vp));
    EXPECT_EQ("DATA:", vp);
}

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
