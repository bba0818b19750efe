#include "client/transactions/DeliveryQuestion.h"

#include "client/transactions/SaleAction.h"
#include "client/TransactionHelpers.h"

namespace ect {

namespace {

void renameMember(Json::Value& object, const char* from, const char* to)
{
    if (object.isMember(from))
        object[to] = object[from];
}

} // namespace

bool DeliveryQuestion::is(const std::string& reply)
{
    Json::Value document;
    if (!parseJson(reply, document) || !document.isObject())
        return false;
    return readBool(document["result"], "productdelivery");
}

std::string DeliveryQuestion::asSaleReply(const std::string& question)
{
    Json::Value document;
    parseJson(question, document);
    Json::Value& result = document["result"];
    renameMember(result, "timestamp", "date");
    renameMember(result, "acquirerIdentifier", "acquirerId");
    return writeJson(document);
}

std::string DeliveryQuestion::refusal()
{
    return jsonResponseFromProductDeliveryReturnValue(ProductDeliveryBlockReturnValue(0));
}

} // namespace ect
