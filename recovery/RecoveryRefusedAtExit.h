#pragma once

#include <stdexcept>

namespace ect {

// A recovery operation asked for, or at its next file, once the exit's work
// waits for those under way: the folder is touched no further, Qt's statics
// that reading and writing it use being about to go, or gone.
class RecoveryRefusedAtExit : public std::runtime_error {
public:
    RecoveryRefusedAtExit()
        : std::runtime_error("the process is exiting: the recovery files are not read or written")
    {
    }
};

} // namespace ect
