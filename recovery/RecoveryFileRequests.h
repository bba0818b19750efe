#pragma once

#include <string>

namespace ect {

class ZUVARecoveryFileManager;

// The work behind the C interface's recovery-file functions. Neither
// operation throws; both take the C interface's raw arguments.
class RecoveryFileRequests {
public:
    // zuva_getRecoveryFiles: the indented JSON array of the closed recovery
    // files, of all terminals when terminalId is null. Each object holds the
    // strings "acquirerId", "terminalId", "schemeId", "batchId", "closingDate"
    // (seconds since the epoch), "content" and "fileName" (the names are
    // distinct within the array). "[]" when there are none or listing failed.
    static std::string recoveryFilesJson(const char* terminalId);
    static std::string recoveryFilesJson(ZUVARecoveryFileManager& manager, const char* terminalId);

    // zuva_extractRecoveryFiles: exports the closed recovery files selected
    // as above into the folder and applies the erase mode (only 1 erases).
    // 1 when every export was written and checked, 0 otherwise (also for a
    // null or empty folder).
    static int extractRecoveryFiles(const char* terminalId, const char* folder, int eraseMode);
    static int extractRecoveryFiles(ZUVARecoveryFileManager& manager, const char* terminalId, const char* folder,
                                    int eraseMode);
};

} // namespace ect
