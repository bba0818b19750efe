#pragma once

namespace ect {

// What happens to the closed recovery files after an export; the host passes
// it as an int, and only EraseAfterExtraction erases.
enum ZUVARecoveryFileEraseMode : int {
    KeepAfterExtraction = 0,
    EraseAfterExtraction = 1,
};

} // namespace ect
