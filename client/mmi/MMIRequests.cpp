#include "client/mmi/MMIRequests.h"

#include "client/TransactionHelpers.h"
#include "common/ECTEncryptionAlgorithm.h"

namespace ect {

namespace {

Json::Value freeTextObject(const FreeText& freeText)
{
    Json::Value object(Json::objectValue);
    object["text_1"] = freeText.text_1();
    object["text_2"] = freeText.text_2();
    object["text_3"] = freeText.text_3();
    object["text_4"] = freeText.text_4();
    return object;
}

Json::Value encryptedPinObject(const EncryptedData& data)
{
    Json::Value object(Json::objectValue);
    object["algorithm"] = encryptionAlgorithmName(data.algorithm);
    object["encryptedPin"] = data.encryptedPin;
    object["keyIndex"] = data.keyIndex;
    object["keySerialNumber"] = data.keySerialNumber;
    object["encryptionData"] = data.encryptionData;
    return object;
}

} // namespace

Json::Value MMIRequests::open()
{
    return makeRequest("MMIOpen", std::string());
}

Json::Value MMIRequests::close()
{
    return makeRequest("MMIClose", std::string());
}

Json::Value MMIRequests::resetScreen()
{
    return makeRequest("MMIClose", "MMIClose");
}

Json::Value MMIRequests::operation(const MMIParameter& parameter)
{
    Json::Value request = makeRequest("MMITransaction", std::string());
    Json::Value& transaction = request["transaction"];
    transaction["displayTimeout"] = parameter.displayTimeout;
    if (parameter.firstTextIdentifier)
        transaction["firstTextIdentifier"] = *parameter.firstTextIdentifier;
    if (parameter.firstTextLanguage)
        transaction["firstTextLanguage"] = *parameter.firstTextLanguage;
    if (parameter.secondTextIdentifier)
        transaction["secondTextIdentifier"] = *parameter.secondTextIdentifier;
    if (parameter.secondTextLanguage)
        transaction["secondTextLanguage"] = *parameter.secondTextLanguage;
    if (parameter.freeText)
        transaction["freeText"] = freeTextObject(*parameter.freeText);
    if (parameter.encryptedPin)
        transaction["encryptedPin"] = encryptedPinObject(*parameter.encryptedPin);
    return request;
}

} // namespace ect
