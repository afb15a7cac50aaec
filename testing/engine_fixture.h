// A transfer engine wired to real temporary trees: the system's file services behind the
// fault-injecting wrapper, scripted dialogs, a recording sink, no NetWare client. The doubles
// record paths with '/' as the trees are spelt (testing/system.h), so a test states its paths
// once for both systems.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/run_data.h"
#include "engine/transfer_engine.h"
#include "netware/absent_client.h"
#include "netware/directory_pair.h"
#include "netware/netware_services.h"
#include "options/copy_options.h"
#include "testing/faulty_file_services.h"
#include "testing/native_file_services.h"
#include "testing/recording_sink.h"
#include "testing/scripted_dialogs.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

class EngineFixture : public ::testing::Test {
  protected:
    // A fixed, even second (2020-09-13 14:26:40 in Berlin), well inside the DOS range.
    static constexpr int64_t kT0 = 1600000000;

    EngineFixture();

    // Ticks exactly the given options; every option is enabled.
    void Only(std::initializer_list<CopyOption> ticked);
    // Ticks or unticks one option.
    void Set(CopyOption option, bool ticked) { options.SetTicked(option, ticked); }

    // Writes a file below the temporary directory with the given contents and modification time
    // and returns its full path.
    std::string Put(const std::string& relative, const std::string& contents, int64_t mtime);
    std::string At(const std::string& relative) const { return tmp.Path(relative); }
    // Whether anything (a link itself included) is at the path below the temporary directory.
    bool Exists(const std::string& relative) const;
    std::string Contents(const std::string& relative) const;
    // The DOS attributes of a file below the temporary directory.
    int32_t Attributes(const std::string& relative);

    // Evaluates the locations as the window does, then starts a run from src to tgt.
    bool Run(const std::string& pattern = "*.*");
    bool Run(const std::string& source, const std::string& target, const std::string& pattern);

    // The status list, and the texts of the dialogs asked, in order.
    std::vector<std::string> List() const { return sink.List(); }
    std::vector<std::string> DialogTexts() const { return dialogs.Texts(); }

    TempDir tmp;
    std::string src;  // tmp/src, created
    std::string tgt;  // tmp/tgt, created
    NativeFileServices native;
    FaultyFileServices files{native};
    ScriptedDialogs dialogs;
    RecordingSink sink;
    OptionSet options;
    DirectoryPair locations;
    AbsentClient client;
    NetWareServices netware{client, files, dialogs};
    RunData run;
    TransferEngine engine{run, options, netware, files, dialogs, sink};
};

}  // namespace testing
}  // namespace ferrit
