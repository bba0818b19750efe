// The host side of the connection flood test, run as a child process of its
// own so that a library that aborts cannot take the test executable along.
// Under a low descriptor limit it serves one announced terminal with sales
// while the parent floods the service's port. It prints "port <n>" once the
// terminal is announced and runs sales until a line arrives on its standard
// input; then it checks what the flood left behind.
#include "ServiceFixture.h"
#include "simterminal/SimSaleReplies.h"

#include <atomic>
#include <cstdio>
#include <string>

#include <dirent.h>
#include <poll.h>
#include <sys/resource.h>

using namespace testsupport;

namespace {

const rlim_t DescriptorLimit = 256;
constexpr const char* Terminal = "TERM0001";

std::atomic<int> refusalWarnings{0};

// The host's own message handler, in place before the library's.
void countRefusals(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg && message.contains("closed"))
        ++refusalWarnings;
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

} // namespace

TEST(FloodedHost, ServesItsTerminalWhileTheFloodIsTurnedAway)
{
    lowerDescriptorLimit();
    qInstallMessageHandler(countRefusals);
    // Silent connections the library takes stay until the parent closes them.
    useSettings(600000);
    HostRecorder host;
    const uint16_t port = SimTerminal::freeLoopbackPort();
    ASSERT_NE(host.start(port), nullptr);
    // A first terminal comes and goes, so that whatever the library starts
    // for good is running before the levels are taken.
    sellingTerminal(host, port, 0)->close();
    ASSERT_TRUE(host.waitFor("disconnected", 1));
    auto terminal = sellingTerminal(host, port, 1);
    const Levels before;

    std::printf("port %u\n", port);
    std::fflush(stdout);
    const std::string sale = R"({"transaction": {"action": "Sale", "amount": "12.50"}})";
    size_t sales = 0;
    do {
        ASSERT_EQ(host.send(Terminal, sale), 0);
        ASSERT_TRUE(host.waitFor("result", ++sales));
    } while (!parentIsDone());

    for (const QJsonObject& result : host.documents("result"))
        EXPECT_TRUE(result.contains("result")) << QJsonDocument(result).toJson().constData();
    EXPECT_TRUE(waitUntil([&] {
        const Levels now;
        return now.descriptors <= before.descriptors && now.threads <= before.threads;
    })) << "descriptors " << Levels().descriptors << " of " << before.descriptors << ", threads "
        << Levels().threads << " of " << before.threads;
    EXPECT_EQ(host.count("result"), sales);
    EXPECT_EQ(refusalWarnings, 1);
    // The service still takes new terminals.
    terminal->close();
    ASSERT_TRUE(host.waitFor("disconnected", 2));
    terminal = sellingTerminal(host, port, 2);
    ASSERT_EQ(host.send(Terminal, sale), 0);
    EXPECT_TRUE(host.waitFor("result", sales + 1));
    EXPECT_EQ(host.count("connected"), 3u);
}
