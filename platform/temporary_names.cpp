#include "platform/temporary_names.h"

#include <cstring>

namespace ferrit {

bool IsTemporaryName(const char* name) {
    return std::strncmp(name, kTempPrefix, std::strlen(kTempPrefix)) == 0;
}

}  // namespace ferrit
