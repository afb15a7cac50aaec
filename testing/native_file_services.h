// The file services of the system the tests run on, by a name that serves both: tests hold them
// by value, wrap them or derive from them.
#pragma once

#ifdef _WIN32
#include "platform/win/win_file_services.h"
#else
#include "platform/posix/posix_file_services.h"
#endif

namespace ferrit {
namespace testing {

#ifdef _WIN32
using NativeFileServices = WinFileServices;
#else
using NativeFileServices = PosixFileServices;
#endif

}  // namespace testing
}  // namespace ferrit
