// The host side of the connection flood test, run as a child process of its
// own so that a library that aborts cannot take the test executable along.
// Under a low descriptor limit it first has a terminal connect while its own
// descriptors use up the limit, then, holding most of its descriptors for
// itself and opening files without pause, serves one announced terminal
// with sales while the parent floods the ports of both its services. It
// prints "ports <n> <m>" once that terminal is announced and runs sales
// until a line arrives on its standard input; then it checks what the flood
// left behind.
#include "ServiceFixture.h"
#include "simterminal/SimSaleReplies.h"
#include "support/LoweredLimits.h"
#include "support/ProcessThreads.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;

namespace {

const rlim_t DescriptorLimit = FLOODED_HOST_DESCRIPTOR_LIMIT;
// Far more than the library's share of the limit leaves to the host.
const size_t DescriptorsHeld = DescriptorLimit * 6 / 10;
constexpr const char* Terminal = "TERM0001";

std::atomic<int> refusalWarnings{0};
std::atomic<int> acceptFailureWarnings{0};

// The host's own message handler, in place before the library's.
void countWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtWarningMsg)
        return;
    if (message.contains("closed new connections"))
        ++refusalWarnings;
    if (message.contains("cannot accept"))
        ++acceptFailureWarnings;
}

size_t entriesOf(const char* folder)
{
    size_t entries = 0;
    if (DIR* listing = opendir(folder)) {
        while (readdir(listing))
            ++entries;
        closedir(listing);
    }
    return entries;
}

// No terminal connection is left or starting: what runs is the service's
// own. (A thread still starting carries its creator's name until its event
// loop is set up.)
bool onlyTheServiceRuns()
{
    return threadsNamed("TcpIpSocket") == 0 && threadsNamed("DispatchThread") == 0
        && threadsNamed("ResponseHandler") == 0 && threadsNamed("TcpServer") == 2;
}

struct Levels {
    size_t descriptors = entriesOf("/proc/self/fd");
    size_t threads = entriesOf("/proc/self/task");
};

bool parentIsDone()
{
    pollfd input{0, POLLIN, 0};
    return ::poll(&input, 1, 0) > 0;
}

void lowerDescriptorLimit()
{
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = std::min(limit.rlim_max, DescriptorLimit);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
}

std::unique_ptr<SimTerminal> sellingTerminal(const HostRecorder& host, uint16_t port, size_t connectedBefore)
{
    auto terminal = announcedTerminal(host, port, Terminal, connectedBefore);
    SimSaleReplies::script(*terminal, Terminal);
    return terminal;
}

// The service cannot accept the terminal while the host's own descriptors
// use up the limit, and takes it once they are closed. Nothing but waiting
// happens meanwhile: the sanitizers need descriptors of their own.
void connectWithoutDescriptorsLeft(const HostRecorder& host, uint16_t port)
{
    int terminal = -1;
    bool failureReported = false;
    {
        const HeldDescriptors held(HeldDescriptors::All, 1);
        terminal = SimTerminal::loopbackConnection(port);
        failureReported = waitUntil([] { return acceptFailureWarnings > 0; });
    }
    ASSERT_GE(terminal, 0);
    EXPECT_TRUE(failureReported);
    SimAdvice advice;
    advice.terminalIdentifier = Terminal;
    const Bytes announcement = SimTerminal::adviceMessage(advice);
    EXPECT_EQ(::send(terminal, announcement.data(), announcement.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(announcement.size()));
    EXPECT_TRUE(host.waitFor("connected", 1));
    ::close(terminal);
    EXPECT_TRUE(host.waitFor("disconnected", 1));
}

// The host's files, one after another, for as long as it runs.
class FileOpener {
public:
    FileOpener()
        : thread_([this] {
            while (!done_) {
                const int file = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                if (file >= 0)
                    ::close(file);
                else if (errno == EMFILE)
                    ++failures_;
            }
        })
    {
    }

    ~FileOpener() { stop(); }

    FileOpener(const FileOpener&) = delete;
    FileOpener& operator=(const FileOpener&) = delete;

    // The opens that found no descriptor free.
    int stop()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
        return failures_;
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<int> failures_{0};
    std::thread thread_;
};

} // namespace

TEST(FloodedHost, KeepsServingThroughAFloodAndAShortageOfDescriptors)
{
    lowerDescriptorLimit();
    qInstallMessageHandler(countWarnings);
    // Silent connections the library takes stay until the parent closes them.
    useSettings(600000);
    HostRecorder host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    ASSERT_NE(host.start(port), nullptr);
    HostRecorder other;
    const uint16_t otherPort = SimTerminal::freeLoopbackPort();
    ASSERT_NE(other.start(otherPort), nullptr);
    // Also starts whatever the library keeps running, before the levels are taken.
    connectWithoutDescriptorsLeft(host, port);
    ASSERT_TRUE(waitUntil(onlyTheServiceRuns));
    // The host's own files, open through the flood.
    const HeldDescriptors held(DescriptorsHeld);
    ASSERT_EQ(held.count(), DescriptorsHeld);
    const Levels before;
    auto terminal = sellingTerminal(host, port, 1);
    FileOpener opener;

    std::printf("ports %u %u\n", port, otherPort);
    std::fflush(stdout);
    const std::string sale = R"({"transaction": {"action": "Sale", "amount": "12.50"}})";
    size_t sales = 0;
    do {
        ASSERT_EQ(host.send(Terminal, sale), 0);
        ASSERT_TRUE(host.waitFor("result", ++sales));
    } while (!parentIsDone());
    EXPECT_EQ(opener.stop(), 0);

    for (const QJsonObject& result : host.documents("result"))
        EXPECT_TRUE(result.contains("result")) << QJsonDocument(result).toJson().constData();
    terminal->close();
    ASSERT_TRUE(host.waitFor("disconnected", 2));
    EXPECT_TRUE(waitUntil([&] {
        const Levels now;
        return now.descriptors <= before.descriptors && now.threads <= before.threads;
    })) << "descriptors " << Levels().descriptors << " of " << before.descriptors << ", threads "
        << Levels().threads << " of " << before.threads;
    EXPECT_EQ(host.count("result"), sales);
    EXPECT_EQ(refusalWarnings, 1);
    EXPECT_EQ(acceptFailureWarnings, 1);
    // The service still takes new terminals.
    terminal = sellingTerminal(host, port, 2);
    ASSERT_EQ(host.send(Terminal, sale), 0);
    EXPECT_TRUE(host.waitFor("result", sales + 1));
}
