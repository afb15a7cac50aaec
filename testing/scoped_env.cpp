#include "testing/scoped_env.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/win/win_api.h"
#endif

namespace ferrit {
namespace testing {

namespace {

// Sets or (value null) unsets the variable. On Windows both the C library's copy of the
// environment and the system's are changed: the program reads either.
void Put(const std::string& name, const char* value) {
#ifdef _WIN32
    std::wstring wideName, wideValue;
    win::Widen(name, wideName);
    win::Widen(value != nullptr ? value : "", wideValue);
    _putenv_s(name.c_str(), value != nullptr ? value : "");
    SetEnvironmentVariableW(wideName.c_str(), value != nullptr ? wideValue.c_str() : nullptr);
#else
    if (value != nullptr) {
        setenv(name.c_str(), value, 1);
    } else {
        unsetenv(name.c_str());
    }
#endif
}

}  // namespace

ScopedEnv::~ScopedEnv() {
    // Backwards, so a variable set twice ends with the value it had before the first change.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        Put(it->name, it->had ? it->value.c_str() : nullptr);
    }
}

void ScopedEnv::Set(const std::string& name, const char* value) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
    Put(name, value);
}

std::string ScopedEnv::UseConfigDirectoryBelow(const std::string& dir) {
#ifdef _WIN32
    Set("APPDATA", dir.c_str());
    return dir + "\\Ferrit";
#else
    Set("XDG_CONFIG_HOME", dir.c_str());
    return dir;
#endif
}

}  // namespace testing
}  // namespace ferrit
