// Environment variables changed for one test and put back afterwards.
#pragma once

#include <string>
#include <vector>

namespace ferrit {
namespace testing {

class ScopedEnv {
  public:
    ScopedEnv() = default;
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Sets the variable, or unsets it when value is null; the value it had comes back when this
    // object goes.
    // On Windows an empty value unsets the variable too.
    void Set(const std::string& name, const char* value);

    // Lets the program keep its settings below the directory: it becomes $XDG_CONFIG_HOME on
    // Linux, %APPDATA% on Windows. Returns the configuration directory the program then uses
    // (the directory itself on Linux, its folder "Ferrit" on Windows).
    std::string UseConfigDirectoryBelow(const std::string& dir);

  private:
    struct Saved {
        std::string name;
        bool had = false;
        std::string value;
    };
    std::vector<Saved> saved_;
};

}  // namespace testing
}  // namespace ferrit
