// libFuzzer target: whatever a terminal sends, cut into messages by the
// response handler and matched with a pending transaction, in two reads.
#include "encoding/ber/BerTlvParser.h"
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"
#include "support/MemoryStreams.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cstdint>

namespace {

// Replies of type "Rt" are parsed like real reply bodies; parse errors end the
// transaction with an error result.
class ParsingResponse : public oxa::JsonZUVAResponse {
public:
    QString getMessageTypeId() const override { return QStringLiteral("Rt"); }
    void handleResponse(QByteArray body, QJsonDocument& response, std::function<QJsonDocument(QJsonDocument)>) override
    {
        Ber::BerTlvParser().parseConstructed(Ber::BerData(body));
        response = QJsonDocument(QJsonObject{{"result", QJsonObject()}});
    }
};

struct Engine {
    Engine()
    {
        qInstallMessageHandler([](QtMsgType, QMessageLogContext const&, QString const&) {});
        new QCoreApplication(argc, argv);
    }

    void ensurePendingTransaction()
    {
        if (!dispatcher->getPendingTransaction(QStringLiteral("Rt")).isNull())
            return;
        QByteArray const body = QByteArray::fromHex("f009e107d0024374d10101"); // "Ct", sequence 1
        std::unique_ptr<oxa::ZUVATransaction> transaction(new oxa::ZUVATransaction());
        transaction->header = oxa::ZUVAHeader(
            oxa::buildZUVARequestHeader(Ber::BerData{0x00, 0x0A}, oxa::ECTMessageLength(body.size()).data()));
        transaction->body = oxa::ZUVABody(body);
        transaction->response = std::make_shared<ParsingResponse>();
        transaction->timeout = std::chrono::hours(1);
        dispatcher->dispatch(std::move(transaction));
    }

    int argc = 1;
    char name[8] = "fuzzer";
    char* argv[2] = {name, nullptr};
    std::shared_ptr<testsupport::MemoryOutputStream> out = std::make_shared<testsupport::MemoryOutputStream>();
    std::shared_ptr<testsupport::MemoryInputStream> in = std::make_shared<testsupport::MemoryInputStream>();
    std::shared_ptr<oxa::TransactionDispatcher> dispatcher = oxa::makeTransactionDispatcher(out);
    std::unique_ptr<oxa::JsonZUVAResponseHandler> handler =
        oxa::makeJsonZUVAResponseHandler(dispatcher, in, [](QJsonDocument) {}, {});
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    static Engine* engine = new Engine();
    engine->ensurePendingTransaction();
    QByteArray const bytes(reinterpret_cast<char const*>(data), int(size));
    int const split = size > 0 ? data[0] % int(size) : 0;
    engine->in->feed(bytes.left(split));
    engine->handler->readMessage();
    engine->in->feed(bytes.mid(split));
    engine->handler->readMessage();
    return 0;
}
