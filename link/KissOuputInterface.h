#pragma once

#include <QByteArray>
#include <QObject>

namespace kiss {

// Receiver of the link's notifications; its slots run in the thread that owns it.
class KissOuputInterface : public QObject {
    Q_OBJECT
public:
    explicit KissOuputInterface(QObject* parent = nullptr);
    ~KissOuputInterface() override;

public slots:
    virtual void onConnected();
    virtual void onDisconnected();
    // payload: the payload of the frame that stayed unacknowledged.
    virtual void onMessageSendFailure(QByteArray payload);
    virtual void onMessageSendSuccess();
    virtual void onMessageReceiveFailure();
    virtual void onMessageReceiveSuccess();
    // payload: that of a frame taken for a repeat of the terminal's last one
    // although it may be its answer to our message (see Kiss).
    virtual void onMessageRepeatMayBeAnswer(QByteArray payload);
};

} // namespace kiss
