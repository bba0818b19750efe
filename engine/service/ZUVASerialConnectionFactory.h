#pragma once

#include "engine/base/OXAEnvironment.h"
#include "engine/service/ReleaseThread.h"
#include "engine/service/TerminalConnection.h"
#include "foundation/SerialPort.h"
#include "link/LinkTimings.h"

#include <QJsonDocument>

#include <functional>
#include <memory>

namespace kiss {
class Kiss;
}

namespace oxa {

class TransactionDispatcher;

// Builds the terminal connection of an opened serial port: the serial link
// on the port's streams and the protocol stack on the link's streams. The
// link's heartbeat pauses from the moment a transaction's message is written
// until no transaction awaits a reply, so a terminal in the middle of a
// transaction gets no frame but that transaction's own. A lost frame fails
// the transaction it carried, and a receive failure of the link the one in
// flight, with code 2, cause 18 NetworkError; neither drops the link while
// the heartbeat is paused. A message whose transaction has ended while it
// waited for the link is never sent. The link's callbacks
// hold the connection's dispatcher only while they run, and let go of it on
// the release thread, since the last holder ends it.
//
// The factory alone owns the link of the connection it built last; building
// the next connection stops it. Only the constructing thread may call create.
class ZUVASerialConnectionFactory {
public:
    // timings: the link's time-outs (tests shorten them). releaseThread: where
    // the link's callbacks let go of what they took of a connection.
    explicit ZUVASerialConnectionFactory(
        std::shared_ptr<OXAEnvironment> environment, kiss::LinkTimings timings = kiss::LinkTimings(),
        std::shared_ptr<ReleaseThread> releaseThread = std::make_shared<ReleaseThread>());
    ~ZUVASerialConnectionFactory();

    ZUVASerialConnectionFactory(const ZUVASerialConnectionFactory&) = delete;
    ZUVASerialConnectionFactory& operator=(const ZUVASerialConnectionFactory&) = delete;

    // Starts the link. The link's callbacks (connected, disconnected) run on
    // the calling thread, which needs a Qt event loop.
    std::unique_ptr<TerminalConnection> create(std::shared_ptr<vorsam::SerialPort> port,
                                               std::function<void(QJsonDocument)> notification,
                                               std::function<void()> connected,
                                               std::function<void()> disconnected);

private:
    void replaceLink(std::shared_ptr<vorsam::SerialPort> const& port);
    // The heartbeat pauses while transactions run; their end also lets the
    // response handler warn of a reply its frames left incomplete.
    static void watchTransactions(TransactionDispatcher& dispatcher, std::weak_ptr<kiss::Kiss> const& link,
                                  std::function<void(bool ended)> transactions);

    std::shared_ptr<OXAEnvironment> m_environment;
    kiss::LinkTimings m_timings;
    std::shared_ptr<ReleaseThread> m_releaseThread;
    // Shared only so that the connection's callbacks can refer to it weakly:
    // a callback of an earlier connection must not touch a newer link.
    std::shared_ptr<kiss::Kiss> m_link;
};

} // namespace oxa
