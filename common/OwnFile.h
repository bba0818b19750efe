#pragma once

#include <cstddef>
#include <string>

namespace ect {

// A file the library keeps for itself in a folder others may be able to
// write to: never reached through a link planted under its name, never held
// up by a FIFO or device file, and used only when it is a regular file of the
// process's user with no other name.
class OwnFile {
public:
    // open(2) with O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC added; a file it makes
    // is readable by its owner alone whatever the umask. -1 when the file can't
    // be opened (errno tells why) or is not one the library may use: then
    // closed again, and the reason in refusal.
    static int open(const std::string& path, int flags, std::string& refusal);
    // False when not all of it could be written.
    static bool writeAll(int file, const char* bytes, std::size_t size);

private:
    static int openAndMake(const std::string& path, int flags);
    static std::string foreignness(int file);
};

} // namespace ect
