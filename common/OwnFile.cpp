#include "common/OwnFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ect {
namespace {

const mode_t ownerOnly = S_IRUSR | S_IWUSR;
const int attemptsToMake = 8;

} // namespace

int OwnFile::open(const std::string& path, int flags, std::string& refusal)
{
    refusal.clear();
    int const file = openAndMake(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0 && errno == ELOOP)
        refusal = "it is a symbolic link";
    // Only a FIFO without reader, or a device file without device, fails so.
    if (file < 0 && errno == ENXIO)
        refusal = "it is not a regular file";
    if (file < 0)
        return file;
    refusal = foreignness(file);
    if (refusal.empty())
        return file;
    ::close(file);
    return -1;
}

bool OwnFile::writeAll(int file, const char* bytes, std::size_t size)
{
    for (std::size_t written = 0; written < size;) {
        ssize_t const taken = ::write(file, bytes + written, size - written);
        if (taken < 0 && errno == EINTR)
            continue;
        if (taken <= 0)
            return false;
        written += static_cast<std::size_t>(taken);
    }
    return true;
}

// Made exclusively first, so that a file made here, and only one, gets its mode
// set: the umask may have taken the owner's rights. A file removed between the
// two opens is made again; one that keeps going is not taken for a missing
// folder.
int OwnFile::openAndMake(const std::string& path, int flags)
{
    if ((flags & O_CREAT) == 0)
        return ::open(path.c_str(), flags);
    for (int attempt = 1;; ++attempt) {
        int const made = ::open(path.c_str(), flags | O_EXCL, ownerOnly);
        if (made >= 0) {
            ::fchmod(made, ownerOnly);
            return made;
        }
        if (errno != EEXIST || (flags & O_EXCL) != 0)
            return made;
        int const opened = ::open(path.c_str(), flags & ~O_CREAT);
        if (opened >= 0 || errno != ENOENT)
            return opened;
        if (attempt == attemptsToMake) {
            errno = EAGAIN;
            return opened;
        }
    }
}

std::string OwnFile::foreignness(int file)
{
    struct stat status {};
    // Its own error, not a guess: EOVERFLOW on a 32-bit build without large
    // file support meets inode numbers past 32 bits.
    if (::fstat(file, &status) != 0)
        return std::string("its status cannot be read: ") + std::strerror(errno);
    if (!S_ISREG(status.st_mode))
        return "it is not a regular file";
    if (status.st_uid != ::geteuid())
        return "it belongs to another user";
    // A second name could be another file's, made by someone else where ours is expected.
    if (status.st_nlink != 1)
        return "it has another name besides";
    return std::string();
}

} // namespace ect
