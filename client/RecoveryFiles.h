#pragma once

#include "recovery/ZUVARecoveryFile.h"
#include "recovery/ZUVARecoveryFileEraseMode.h"

#include <memory>
#include <string>
#include <vector>

namespace ect {

using RecoveryFiles = std::vector<std::shared_ptr<ZUVARecoveryFile>>;

// Turns the C interface's recovery-file list into recovery files and releases
// the text with zuva_free, also when it throws. Text that is no JSON array
// (or null) gives an empty list; the list ends at the first element that is
// no object. A closing date that is no number throws std::invalid_argument
// or std::out_of_range, as std::stoll does; one that has no local calendar
// time on this platform throws std::out_of_range.
RecoveryFiles toRecoveryFiles(char* json);

// The closed recovery files of all terminals, or of one; they throw as
// toRecoveryFiles does. The library keeps them in bmrecovery/closed under
// the working directory the process had when it first needed them, which
// two processes may share under one user, never under two (see
// <zuva/HostGuide.md>, "Recovery files"). While the other process holds the
// folder's lock, a listing waits for it up to 10 s, an export 20 s. Empty, as
// is the export false, when refused at the process's exit (see "Ending" there).
RecoveryFiles getRecoveryFiles();
RecoveryFiles getRecoveryFiles(const std::string& terminalId);

// Exports the closed recovery files (of all terminals, or of one) into the
// folder path and applies the erase mode; true when the export succeeded.
bool extractRecoveryFiles(const std::string& path, ZUVARecoveryFileEraseMode mode);
bool extractRecoveryFiles(const std::string& terminalId, const std::string& path, ZUVARecoveryFileEraseMode mode);

} // namespace ect
