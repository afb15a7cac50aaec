#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "platform/posix/posix_file_services.h"
#include "testing/scripted_client.h"
#include "testing/scripted_dialogs.h"

namespace ferrit {
namespace {

using testing::ScriptedClient;
using Library = ScriptedClient::Library;

class NetWareErrorsTest : public testing::ScriptedServicesTest {};

TEST_F(NetWareErrorsTest, TextFollowsTheLibraryAndItsFallBacks) {
    struct Case {
        Library library;
        uint32_t code;
        std::string libraryText;  // what the function answers; empty: its "Unknown error"
        std::string expected;
    };
    const Case cases[] = {
        // Without the library: the bare hexadecimal form, at least four digits.
        {Library::Missing, 0x5, "", "0x0005"},
        {Library::Missing, 0x8998, "", "0x8998"},
        {Library::Missing, 0x12345, "", "0x12345"},
        {Library::Missing, 0xFFFFFEDA, "", "0xFFFFFEDA"},
        // With the function: its text.
        {Library::Present, 0x8998, "Invalid path", "0x8998 (Invalid path)"},
        // Its "Unknown error", compared exactly, gives way to the system's text.
        {Library::Present, 5, "", "0x0005 (Access is denied)"},
        {Library::Present, 5, "unknown error", "0x0005 (unknown error)"},
        {Library::Present, 0x8998, "", "0x8998 ()"},
        // Without the function: the system's text, or nothing within the parentheses.
        {Library::NoFunction, 2, "", "0x0002 (The system cannot find the file specified)"},
        {Library::NoFunction, 0x8998, "", "0x8998 ()"},
        {Library::NoFunction, 0xFFFFFFFF, "", "0xFFFFFFFF ()"},
    };
    for (const Case& c : cases) {
        client.library = c.library;
        client.errorTexts.clear();
        if (!c.libraryText.empty())
            client.errorTexts[c.code] = c.libraryText;
        EXPECT_EQ(nw.NetWareErrorText(c.code), c.expected) << std::hex << c.code;
    }
}

TEST_F(NetWareErrorsTest, LibraryIsLoadedAndReleasedOnEveryCall) {
    client.library = Library::Present;
    nw.NetWareErrorText(1);
    nw.NetWareErrorText(2);
    EXPECT_EQ(client.librariesLoaded, 2);
    EXPECT_EQ(client.librariesReleased, 2);
}

TEST_F(NetWareErrorsTest, ReportShowsOneErrorBoxOnlyForAFailure) {
    nw.ReportNetWareError(0, "Op");
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(client.Count("LoadErrorLibrary"), 0u);

    client.library = Library::NoFunction;
    nw.ReportNetWareError(5, "NWSomething");
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::OK);
    EXPECT_EQ(dialogs.Asked()[0].text, "NWSomething returned error 0x0005 (Access is denied)");
}

}  // namespace
}  // namespace ferrit
