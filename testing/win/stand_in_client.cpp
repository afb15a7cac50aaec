#include "testing/stand_in_client.h"

#include "netware/win/native_client.h"
#include "nwemu/config_text.h"
#include "platform/win/win_api.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

namespace {

// A query the served stand-in exports by name for the tests.
template <typename F>
F StandInQuery(const char* name) {
    const HMODULE calls = GetModuleHandleA("calwin32.dll");
    const FARPROC proc = calls != nullptr ? GetProcAddress(calls, name) : nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

std::string StandInDirectory(const char* set) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], 32768));
    path.erase(path.find_last_of(L"\\/"));
    return win::Narrow(path) + "\\stand_ins\\" + set;
}

StandInClient::StandInClient(const nwemu::Config& config, const std::string& descriptionFile) {
    WriteFile(descriptionFile, nwemu::FormatConfig(config));
    env_.Set("FERRIT_STAND_IN_NETWARE", descriptionFile.c_str());
    NativeClientLoad load = LoadNativeClient(StandInDirectory("emulated"));
    client_ = std::move(load.client);
    problem_ = load.problem;
}

size_t StandInClient::OpenContexts() const {
    const auto query = StandInQuery<uint32_t (*)()>("StandInOpenContexts");
    return query != nullptr ? query() : static_cast<size_t>(-1);
}

size_t StandInClient::HeldDirHandles(NWCONN_HANDLE conn) const {
    const auto query = StandInQuery<uint32_t (*)(uint32_t)>("StandInHeldDirHandles");
    return query != nullptr ? query(conn) : static_cast<size_t>(-1);
}

}  // namespace testing
}  // namespace ferrit
