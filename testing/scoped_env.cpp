#include "testing/scoped_env.h"

#include <cstdlib>

namespace ferrit {
namespace testing {

ScopedEnv::~ScopedEnv() {
    // Backwards, so a variable set twice ends with the value it had before the first change.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->had) {
            setenv(it->name.c_str(), it->value.c_str(), 1);
        } else {
            unsetenv(it->name.c_str());
        }
    }
}

void ScopedEnv::Set(const std::string& name, const char* value) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
    if (value != nullptr) {
        setenv(name.c_str(), value, 1);
    } else {
        unsetenv(name.c_str());
    }
}

}  // namespace testing
}  // namespace ferrit
