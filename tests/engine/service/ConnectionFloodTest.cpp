// A flood of connections against a host whose descriptor limit is low and
// who holds most of its descriptors itself; the host runs in a child process
// (FloodedHost), the flood comes from here.
#include "simterminal/SimTerminal.h"
#include "support/ClosedByPeer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

const size_t ChildDescriptorLimit = FLOODED_HOST_DESCRIPTOR_LIMIT;
// Twice what the child's descriptors could ever hold.
const size_t FloodSize = 2 * ChildDescriptorLimit;

// The child host, its standard input and its merged output connected here.
class ChildHost {
public:
    ChildHost()
    {
        // A socket for the input: telling a child that died must not raise SIGPIPE here.
        int input[2];
        int output[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, input) != 0 || ::pipe(output) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
            ::dup2(output[1], 2);
            run();
        }
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        m_output = output[0];
        ::fcntl(m_output, F_SETFL, O_NONBLOCK);
    }

    ~ChildHost()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_input);
        ::close(m_output);
    }

    // The ports the child's two services listen on; none when it never says.
    std::vector<uint16_t> ports()
    {
        unsigned first = 0;
        unsigned second = 0;
        // Long: a child whose first steps fail has said why by then.
        const bool told = waitUntil([&] {
            drain();
            const size_t found = m_text.find("ports ");
            return found != std::string::npos
                   && std::sscanf(m_text.c_str() + found, "ports %u %u\n", &first, &second) == 2
                   && m_text.find('\n', found) != std::string::npos;
        }, std::chrono::milliseconds(60000));
        return told ? std::vector<uint16_t>{uint16_t(first), uint16_t(second)} : std::vector<uint16_t>{};
    }

    void tellDone() { ::send(m_input, "done\n", 5, MSG_NOSIGNAL); }

    // The child's exit status; -1 when it did not end in time.
    int exitStatus()
    {
        int status = 0;
        m_exited = waitUntil([&] {
            drain();
            return ::waitpid(m_pid, &status, WNOHANG) == m_pid;
        }, std::chrono::milliseconds(60000));
        drain();
        return m_exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& text() const { return m_text; }

private:
    // Between fork and exec: nothing that allocates.
    [[noreturn]] static void run()
    {
        const char* const emulator = FLOODED_HOST_EMULATOR;
        if (*emulator)
            ::execlp(emulator, emulator, FLOODED_HOST, "--gtest_color=no", nullptr);
        else
            ::execl(FLOODED_HOST, FLOODED_HOST, "--gtest_color=no", nullptr);
        ::_exit(127);
    }

    void drain()
    {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(m_output, buffer, sizeof buffer)) > 0)
            m_text.append(buffer, static_cast<size_t>(got));
    }

    pid_t m_pid = -1;
    bool m_exited = false;
    int m_input = -1;
    int m_output = -1;
    std::string m_text;
};

// The flood must not run out of descriptors itself.
void raiseDescriptorLimit(rlim_t wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min(limit.rlim_max, wanted);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

// The host stays up, its terminal's sales each get their one result, its
// own files keep opening, what the process has no room for is closed at
// once and, once the flood is gone, its threads and descriptors are back
// where they were. Both of its services are flooded at once. Before the
// flood, the child has a terminal connect while its own descriptors are
// used up: the service takes it once they are back.
TEST(ConnectionFlood, TurnsAwayWhatTheProcessHasNoRoomForAndKeepsServing)
{
    raiseDescriptorLimit(4 * FloodSize);
    ChildHost child;
    const std::vector<uint16_t> ports = child.ports();
    ASSERT_EQ(ports.size(), 2u) << child.text();
    std::vector<int> flood;
    while (flood.size() < FloodSize) {
        const int socket = SimTerminal::loopbackConnection(ports[flood.size() % 2]);
        if (socket < 0)
            break;
        flood.push_back(socket);
    }
    EXPECT_EQ(flood.size(), FloodSize) << std::strerror(errno);
    std::vector<bool> closed(flood.size(), false);
    size_t closedCount = 0;
    EXPECT_TRUE(waitUntil([&] {
        for (size_t each = 0; each < flood.size(); ++each)
            if (!closed[each] && closedByPeer(flood[each])) {
                closed[each] = true;
                ++closedCount;
            }
        return closedCount + ChildDescriptorLimit >= FloodSize;
    })) << closedCount << " closed";
    for (const int socket : flood)
        ::close(socket);
    child.tellDone();
    EXPECT_EQ(child.exitStatus(), 0) << child.text();
}
