#include "netware/directory_pair.h"

namespace ferrit {

LocationFacts FactsOf(const DirectoryPair& state) {
    LocationFacts facts;
    facts.bothNetWare = state.BothNetWare;
    facts.sourceNetWare = state.PathInfo[kSource].OnNetWare;
    facts.sourceRights = static_cast<uint16_t>(state.PathInfo[kSource].EffectiveRights);
    facts.targetNetWare = state.PathInfo[kTarget].OnNetWare;
    facts.targetRights = static_cast<uint16_t>(state.PathInfo[kTarget].EffectiveRights);
    return facts;
}

std::string OemConvert(const std::string& text, bool /*toOem*/) {
    // Linux has no OEM code page: the conversion is the identity, cut like the original buffer.
    return text.size() > kMaxNetWarePath ? text.substr(0, kMaxNetWarePath) : text;
}

}  // namespace ferrit
