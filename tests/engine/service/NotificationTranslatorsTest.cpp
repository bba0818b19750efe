#include "engine/service/JsonConnectionAdviceResponse.h"
#include "engine/service/JsonSynchronizationAdviceResponse.h"
#include "simterminal/SimMessage.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace testsupport;

namespace {

QJsonObject translate(oxa::JsonZUVAResponse& translator, const std::string& type, const std::vector<SimTlv>& elements)
{
    const Bytes body = SimMessage::buildBody(type, 1, elements);
    QJsonDocument document;
    translator.handleResponse(QByteArray(reinterpret_cast<const char*>(body.data()), static_cast<int>(body.size())),
                              document, {});
    return document.object();
}

QJsonObject advice(const std::vector<SimTlv>& elements)
{
    oxa::JsonConnectionAdviceResponse translator;
    return translate(translator, "Cu", elements).value("terminal").toObject();
}

} // namespace

TEST(ConnectionAdvice, DeviceTypeAndOptionalFieldsLeftOutWhenAbsent)
{
    EXPECT_EQ(advice({SimTlv::hex("DF8156", "04")}),
              (QJsonObject{{"deviceType", "04"}, {"deviceTypeName", "Terminal"}}));
    EXPECT_EQ(advice({SimTlv::hex("DF8156", "0004")}).value("deviceTypeName").toString(), "Unknown");
    EXPECT_EQ(advice({SimTlv::hex("DF8156", "0a")}).value("deviceType").toString(), "0A");

    const QJsonObject full = advice({SimTlv::hex("DF8156", "04"),
                                     SimTlv::constructed(fromHex("BF8102"), {SimTlv::text("9F1C", "NESTED"),
                                                                             SimTlv::text("9F1E", "SER")}),
                                     SimTlv::text("9F1C", "LATER"), SimTlv::text("DF05", "MODEL"),
                                     SimTlv::text("DF9300", "2.1"),
                                     SimTlv::hex("DF946B", "0a1b")});
    EXPECT_EQ(full.value("terminalIdentifier").toString(), "NESTED");
    EXPECT_EQ(full.value("terminalSerialNumber").toString(), "SER");
    EXPECT_EQ(full.value("terminalModel").toString(), "MODEL");
    EXPECT_EQ(full.value("softwareVersion").toString(), "2.1");
    EXPECT_EQ(full.value("EMVKernelVersion").toString(), "0A1B");
    EXPECT_EQ(advice({SimTlv::text("9F1C", "T1")}), (QJsonObject{{"terminalIdentifier", "T1"}}));
}

TEST(SynchronizationAdvice, EventBitmap)
{
    oxa::JsonSynchronizationAdviceResponse translator;
    EXPECT_EQ(translate(translator, "Cy", {SimTlv::hex("DF940C", "80ff")}).value("event").toObject(),
              (QJsonObject{{"synchronizationState", "80FF"}}));
    EXPECT_EQ(translate(translator, "Cy", {}), (QJsonObject{{"event", QJsonObject()}}));
}
