#include <cstdio>
#include <memory>
#include <string>

#include "netware/netware_services.h"
#include "platform/error_codes.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// What the error-text library answers for a code it does not know; compared exactly.
const char kUnknownError[] = "Unknown error";

}  // namespace

bool NetWareServices::ErrorDetail(uint32_t code, std::string& detail) {
    // Loaded for this one text and released when it goes out of scope: nothing is cached.
    std::unique_ptr<NWErrorLibrary> library = client_.LoadErrorLibrary();
    detail.clear();
    if (!library) {
        return false;
    }
    detail = kUnknownError;
    if (library->HasNWstrerror()) {
        detail = library->NWstrerror(code);
    }
    if (detail == kUnknownError) {
        // The system's text for the same number; codes outside the int range have none.
        detail = code <= 0x7FFFFFFFu ? WinErrorText(static_cast<int>(code)) : std::string();
        detail = TrimRightChars(detail, " \r\n.");
    }
    return true;
}

std::string NetWareServices::NetWareErrorText(uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%.4X", static_cast<unsigned>(code));
    std::string detail;
    if (!ErrorDetail(code, detail)) {
        return hex;
    }
    return std::string(hex) + " (" + detail + ")";
}

std::string NetWareServices::NetWareErrorDetail(uint32_t code) {
    std::string detail;
    ErrorDetail(code, detail);
    return detail;
}

void NetWareServices::ReportNetWareError(uint32_t code, const std::string& operation) {
    if (code == 0) {
        return;
    }
    ShowMessageBox(dialogs_, DialogKind::Error,
                   operation + " returned error " + NetWareErrorText(code));
}

}  // namespace ferrit
