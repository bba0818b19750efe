#pragma once

#include "engine/service/oxazuva.h"

#include <QJsonObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace saletest {

// Plays the sale system through the C interface: runs a TCP/IP service and
// sends transactions, recording for each its results, the delivery
// questions it was asked (answering them through the reply function) and the
// release of its user data.
class SaleHost {
public:
    class Transaction {
    public:
        // The JSON text given to the reply function when a question comes;
        // empty: no answer. onQuestion runs first, inside the callback.
        std::string answer;
        std::function<void()> onQuestion;

        int returned = 0; // what zuva_sendTransaction returned

        std::vector<QJsonObject> results() const;
        std::vector<QJsonObject> questions() const;
        // Waits for the release of the user data: the transaction is over.
        bool waitUntilFreed() const;
        bool waitForResults(size_t count) const;
        // The only result; fails the test when there is not exactly one.
        QJsonObject result() const;

    private:
        friend class SaleHost;
        static void onDocument(const char* json, void* transaction);
        static void onFree(void* transaction);
        // Applies the change under the lock and wakes the waiters.
        void update(const std::function<void()>& change);

        mutable std::mutex m_mutex;
        mutable std::condition_variable m_changed;
        std::vector<QJsonObject> m_results;
        std::vector<QJsonObject> m_questions;
        bool m_freed = false;
        zuva_reply_function m_reply = nullptr;
        void* m_replyHandle = nullptr;
    };

    ~SaleHost();

    bool start(int port);
    void stop();
    bool waitForTerminal(const std::string& terminalId) const;

    // Sends the request with the transaction's callbacks; it stays alive as
    // long as the host.
    std::shared_ptr<Transaction> send(const std::string& terminalId, const std::string& json,
                                      std::shared_ptr<Transaction> transaction = nullptr);

private:
    static void onConnected(const char* json, void* host);
    static void ignore(const char*, void*) {}

    void* m_service = nullptr;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::set<std::string> m_terminals;
    std::vector<std::shared_ptr<Transaction>> m_transactions;
};

} // namespace saletest
