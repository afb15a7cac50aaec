#include "testing/engine_fixture.h"

#include <cstdlib>
#include <ctime>

namespace ferrit {
namespace testing {

EngineFixture::EngineFixture() {
    // File ages are local times; the tests' times are chosen for this zone. (Windows takes the
    // system's zone, which Wine takes from TZ when it starts: ctest sets it.)
#ifndef _WIN32
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
#endif
    // The trees are spelt with '/' on every system; so are the paths the doubles record.
    sink.SlashSeparators();
    dialogs.SlashSeparators();
    files.SlashSeparators();
    src = tmp.Dir("src");
    tgt = tmp.Dir("tgt");
    // The engine's tests run twice: copies one after another, and side by side as by default;
    // what they assert holds for both.
    if (const char* jobs = std::getenv("FERRIT_TEST_JOBS")) {
        engine.SetJobs(std::atoi(jobs));
    }
}

void EngineFixture::Only(std::initializer_list<CopyOption> ticked) {
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        options.SetTicked(i, false);
        options.SetEnabled(i, true);
    }
    for (CopyOption o : ticked) {
        options.SetTicked(o, true);
    }
}

std::string EngineFixture::Put(const std::string& relative, const std::string& contents,
                               int64_t mtime) {
    const std::string path = tmp.File(relative, contents);
    EXPECT_TRUE(SetModTime(path, mtime)) << path;
    return path;
}

bool EngineFixture::Exists(const std::string& relative) const {
    return KindAt(tmp.Path(relative)) != EntryKind::Missing;
}

std::string EngineFixture::Contents(const std::string& relative) const {
    return ReadFile(tmp.Path(relative));
}

int32_t EngineFixture::Attributes(const std::string& relative) {
    return native.GetAttributes(tmp.Path(relative));
}

bool EngineFixture::Run(const std::string& pattern) {
    return Run(src, tgt, pattern);
}

bool EngineFixture::Run(const std::string& source, const std::string& target,
                        const std::string& pattern) {
    locations = netware.GetNetWarePaths(source, target);
    return engine.ButtonStartClick(RunRequest{source, target, pattern});
}

}  // namespace testing
}  // namespace ferrit
