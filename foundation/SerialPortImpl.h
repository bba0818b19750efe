#pragma once

#include "foundation/DeviceStream.h"
#include "foundation/InputStream.h"
#include "foundation/OutputStream.h"
#include "foundation/ParentOnlyDescriptor.h"
#include "foundation/Runnable.h"
#include "foundation/SerialPort.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <memory>
#include <mutex>

namespace vorsam {

class Thread;

// A serial port on a thread of its own. Its opened, closed and data-pending
// signals are emitted on that thread.
class SerialPortImpl : public Runnable,
                       public SerialPort,
                       public InputStream,
                       public OutputStream,
                       public std::enable_shared_from_this<SerialPortImpl> {
    Q_OBJECT
public:
    static std::shared_ptr<SerialPortImpl> make();

    // Throws std::invalid_argument ("Invalid parity value", "Invalid stopbits
    // value") for a value outside its enumeration.
    static void checkLineSettings(Parity parity, StopBits stopBits);

    ~SerialPortImpl() override;

    void startTask() override;
    void onFinished() override;

    bool open(QString port, BaudRate baudRate, Parity parity, StopBits stopBits) override;
    bool close() override;
    bool isOpen() const override;
    QString getPort() const override;
    BaudRate getBaudRate() const override;
    Parity getParity() const override;
    StopBits getStopBits() const override;
    std::shared_ptr<InputStream> getInputStream() const override;
    std::shared_ptr<OutputStream> getOutputStream() const override;

    int read(QByteArray& data) override;
    bool write(const unsigned char* data, int size) override;

signals:
    void dataPendingSignal();
    void portOpenedSignal();
    void portClosedSignal();

private slots:
    void dataPending();
    void deviceError(QSerialPort::SerialPortError error);

private:
    class Impl;

    SerialPortImpl();

    bool openDevice();
    bool lineHungUp() const;

    std::shared_ptr<Impl> d_;
    DeviceStream stream_;
    std::mutex threadMutex_;
    std::unique_ptr<Thread> thread_;
    // The open device's descriptor, on the port's thread.
    ParentOnlyDescriptor line_;
};

} // namespace vorsam
