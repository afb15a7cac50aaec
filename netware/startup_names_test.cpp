#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "platform/posix/posix_file_services.h"
#include "testing/scripted_client.h"
#include "testing/scripted_dialogs.h"

namespace ferrit {
namespace {
using testing::ScriptedDialogs;

using testing::ScriptedClient;
using Log = std::vector<std::string>;

class StartupNamesTest : public testing::ScriptedServicesTest {};

TEST_F(StartupNamesTest, InitNetWareOpensThePrimaryConnectionOnce) {
    EXPECT_EQ(nw.InitNetWare(), 0);
    EXPECT_EQ(client.log,
              (Log{"CallsInit", "ConnLayerInit", "GetPrimaryConnRef", "OpenConnByReference"}));
    EXPECT_EQ(client.openedReference, client.primaryReference);
    EXPECT_TRUE(dialogs.Asked().empty());

    client.log.clear();
    EXPECT_EQ(nw.InitNetWare(), 0);
    EXPECT_TRUE(client.log.empty());
}

TEST_F(StartupNamesTest, WithoutAPrimaryConnectionTheLayersReferenceIsOpened) {
    client.primaryRef = 0x8801;
    EXPECT_EQ(nw.InitNetWare(), 0);
    EXPECT_EQ(client.openedReference, client.layerReference);
}

TEST_F(StartupNamesTest, StartUpFailuresAreReportedWithTheirOwnText) {
    struct Case {
        NWCCODE callsInit, connLayer, open;
        size_t calls;  // client calls up to the failure (the error library's load included)
        std::string text;
    };
    const Case cases[] = {
        {0xFFFF, 0, 0, 2, "Could not initialize NetWare Client. InitNetWare returned error 0xFFFF"},
        {0x8800, 0, 0, 2,
         "Could not find server/tree connection. InitNetWare returned error 0x8800"},
        {0, 0xFFFF, 0, 3, "Could not initialize NetWare Client. InitNetWare returned error 0xFFFF"},
        {0, 0, 0x880F, 5,
         "Could not find server/tree connection. InitNetWare returned error 0x880F"},
    };
    for (const Case& c : cases) {
        ScriptedClient fresh;
        fresh.callsInit = c.callsInit;
        fresh.connLayerInit = c.connLayer;
        fresh.openConn = c.open;
        ScriptedDialogs asked;
        NetWareServices services(fresh, files, asked);
        const uint16_t expected = c.callsInit ? c.callsInit : c.connLayer ? c.connLayer : c.open;
        EXPECT_EQ(services.InitNetWare(), expected);
        EXPECT_EQ(fresh.log.size(), c.calls);
        ASSERT_EQ(asked.Asked().size(), 1u);
        EXPECT_EQ(asked.Asked()[0].kind, DialogKind::Error);
        EXPECT_EQ(asked.Asked()[0].buttons, Btn::OK);
        EXPECT_EQ(asked.Asked()[0].text, c.text);
    }
}

TEST_F(StartupNamesTest, WithoutAClientTheStartUpFailsWithItsMessage) {
    AbsentClient absent;
    NetWareServices services(absent, files, dialogs);
    EXPECT_EQ(services.InitNetWare(), 0xFFFF);
    EXPECT_EQ(dialogs.Texts(),
              (Log{"Could not initialize NetWare Client. InitNetWare returned error 0xFFFF"}));
}

TEST_F(StartupNamesTest, TreeNameIsCutTo32CharactersWithoutTrailingUnderscores) {
    const std::pair<std::string, std::string> cases[] = {
        {"ACME_TREE_______________________", "ACME_TREE"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345XYZ", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234_XYZ", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
        {"_", ""},
    };
    for (const auto& [answer, expected] : cases) {
        client.trees[1] = answer;
        std::string tree;
        EXPECT_EQ(nw.GetTreeName(1, tree), 0);
        EXPECT_EQ(tree, expected);
    }
    std::string tree = "stale";
    EXPECT_NE(nw.GetTreeName(9, tree), 0);
    EXPECT_EQ(tree, "");
}

TEST_F(StartupNamesTest, PrepareContextSetsTheTreeOnlyWhenItDiffers) {
    struct Case {
        std::string serverTree, contextTree;
        bool treeWritten;
    };
    const Case cases[] = {
        {"ACME", "ACME", false},      {"ACME", "acme", false},    // compared in capitals
        {"ACME", "CN=ACME", false},                               // the first "CN=" does not count
        {"ACME", "ACMECN=", false},   {"ACME", "cn=ACME", true},  // removed case-sensitively only
        {"ACME", "CN=CN=ACME", true}, {"ACME", "", true},        {"ACME", "OTHER", true},
    };
    client.dsConns.insert(1);
    for (const Case& c : cases) {
        client.trees[1] = c.serverTree + "____";
        client.contextTree = c.contextTree;
        client.contextWrites.clear();
        EXPECT_EQ(nw.PrepareContext(0x101, 1), 0u);
        std::vector<std::pair<uint32_t, std::string>> expected;
        if (c.treeWritten)
            expected.emplace_back(ContextKey::TreeName, "ACME");
        expected.emplace_back(ContextKey::NameContext, "[Root]");
        EXPECT_EQ(client.contextWrites, expected) << c.contextTree;
    }
}

TEST_F(StartupNamesTest, PrepareContextWithoutTreeNameStillSetsTheRoot) {
    client.trees[1] = "________";
    EXPECT_EQ(nw.PrepareContext(0x101, 1), 0u);
    EXPECT_EQ(client.Count("DSGetContextText"), 0u);
    EXPECT_EQ(client.contextWrites,
              (std::vector<std::pair<uint32_t, std::string>>{{ContextKey::NameContext, "[Root]"}}));
}

TEST_F(StartupNamesTest, PrepareContextStopsAtTheFirstFailure) {
    // No tree name for the connection: its code, and the context is left alone.
    EXPECT_EQ(nw.PrepareContext(0x101, 5), 0x880Fu);
    EXPECT_TRUE(client.contextWrites.empty());
    client.trees[5] = "ACME";
    client.contextTree = "OTHER";
    client.setTree = 0xFFFFFD00;
    EXPECT_EQ(nw.PrepareContext(0x101, 5), 0xFFFFFD00u);
    EXPECT_EQ(client.contextWrites.size(), 1u);  // the name context is not set
}

TEST_F(StartupNamesTest, IdToNameAsksDirectoryServicesOnlyOnADirectoryServicesConnection) {
    client.trees[1] = client.trees[2] = "ACME";
    client.dsConns.insert(1);
    client.dsNames[{1, 10}] = "CN=JSMITH.O=ACME";
    client.dsNames[{2, 10}] = "CN=NEVER.O=ACME";  // a bindery server is never asked by name
    client.binderyNames[{2, 10}] = "JSMITH";
    client.binderyNames[{1, 11}] = "GUEST";

    std::string name;
    EXPECT_EQ(nw.IdToName(1, 10, name), 0u);
    EXPECT_EQ(name, "CN=JSMITH.O=ACME");
    EXPECT_EQ(client.Count("GetObjectName"), 0u);

    client.log.clear();
    EXPECT_EQ(nw.IdToName(2, 10, name), 0u);
    EXPECT_EQ(name, "JSMITH");
    EXPECT_EQ(client.Count("DSCreateContext"), 0u);

    // Directory services fail: the bindery answers.
    EXPECT_EQ(nw.IdToName(1, 11, name), 0u);
    EXPECT_EQ(name, "GUEST");

    // Neither knows the object: its code and an empty name.
    name = "stale";
    EXPECT_NE(nw.IdToName(1, 12, name), 0u);
    EXPECT_EQ(name, "");
    EXPECT_EQ(client.openContexts, 0);
}

TEST_F(StartupNamesTest, IdToNameFreesTheContextWhenPreparingItFails) {
    client.dsConns.insert(1);  // no tree name: the context cannot be prepared
    client.dsNames[{1, 10}] = "CN=JSMITH";
    client.binderyNames[{1, 10}] = "JSMITH";
    std::string name;
    EXPECT_EQ(nw.IdToName(1, 10, name), 0u);
    EXPECT_EQ(name, "JSMITH");
    EXPECT_EQ(client.Count("DSCreateContext"), 1u);
    EXPECT_EQ(client.Count("DSFreeContext"), 1u);
    EXPECT_EQ(client.Count("DSMapIDToName"), 0u);

    // A context that cannot be created is not freed.
    client.log.clear();
    client.createContext = 0xFFFFFED0;
    EXPECT_EQ(nw.IdToName(1, 10, name), 0u);
    EXPECT_EQ(client.Count("DSFreeContext"), 0u);
}

TEST_F(StartupNamesTest, NameToIdAsksDirectoryServicesFirstThenTheBinderyLeaf) {
    client.trees[1] = client.trees[2] = "ACME";
    client.dsIds[{1, "CN=JSMITH.OU=SALES.O=ACME"}] = 0x1001;
    client.binderyIds[{2, "JSMITH", ObjType::User}] = 0x2001;
    client.binderyIds[{2, "SALES", ObjType::Group}] = 0x2002;
    client.binderyIds[{2, "guest", ObjType::User}] = 0x2003;

    NWObjectID id = 0;
    EXPECT_EQ(nw.NameToId(1, "CN=JSMITH.OU=SALES.O=ACME", id), 0u);
    EXPECT_EQ(id, 0x1001u);
    EXPECT_TRUE(client.binderyLookups.empty());

    // A bindery server: directory services are still asked first, and fail.
    client.log.clear();
    EXPECT_EQ(nw.NameToId(2, "CN=JSMITH.OU=SALES.O=ACME", id), 0u);
    EXPECT_EQ(id, 0x2001u);
    EXPECT_EQ(client.log.front(), "DSCreateContext");
    EXPECT_EQ(client.binderyLookups,
              (std::vector<std::pair<std::string, uint16_t>>{{"JSMITH", ObjType::User}}));

    // Not a user: then a group.
    client.binderyLookups.clear();
    EXPECT_EQ(nw.NameToId(2, "OU=Sales.O=ACME", id), 0u);
    EXPECT_EQ(id, 0x2002u);
    EXPECT_EQ(client.binderyLookups, (std::vector<std::pair<std::string, uint16_t>>{
                                         {"SALES", ObjType::User}, {"SALES", ObjType::Group}}));

    // A plain name goes to the bindery in its own case.
    EXPECT_EQ(nw.NameToId(2, "guest", id), 0u);
    EXPECT_EQ(id, 0x2003u);

    // Nothing found anywhere: the directory services' answer is not kept.
    id = 5;
    EXPECT_NE(nw.NameToId(2, "CN=NOBODY.O=ACME", id), 0u);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(client.openContexts, 0);
}

TEST_F(StartupNamesTest, BinderyLeafOfDirectoryServicesNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"CN=JSMITH.OU=SALES.O=ACME", "JSMITH"},
        {"cn=jsmith.ou=sales", "JSMITH"},
        {"jsmith", "jsmith"},
        {"JSmith.Sales.Acme", "JSMITH"},
        {".jsmith.", "jsmith"},
        {"..A..", "A"},
        {"CN=.Admin.", "ADMIN"},
        {"CN=", ""},
        {"", ""},
        {"CN=" + std::string(300, 'x'), std::string(255, 'X')},
    };
    for (const auto& [name, leaf] : cases) {
        EXPECT_EQ(BinderyLeaf(name), leaf) << name;
    }
}

}  // namespace
}  // namespace ferrit
