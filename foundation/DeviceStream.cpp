#include "foundation/DeviceStream.h"

#include <QIODevice>

namespace vorsam {

DeviceStream::DeviceStream(Device device)
    : device_(std::move(device))
{
}

void DeviceStream::open()
{
    caller_.open();
}

void DeviceStream::close()
{
    caller_.close();
}

int DeviceStream::read(QByteArray& data)
{
    const QByteArray received = caller_.call<QByteArray>(
        [this] {
            QIODevice* const device = device_();
            return device ? device->readAll() : QByteArray();
        },
        QByteArray());
    data.append(received);
    return received.size();
}

bool DeviceStream::write(const unsigned char* data, int size)
{
    if (size < 0 || (!data && size > 0))
        return false;
    // The caller waits until the device's thread is done with its bytes.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), size);
    return caller_.call<bool>([this, bytes] { return writeToDevice(bytes); }, false);
}

bool DeviceStream::writeLater(const unsigned char* data, int size)
{
    if (size < 0 || (!data && size > 0))
        return false;
    const QByteArray bytes(reinterpret_cast<const char*>(data), size);
    return caller_.post([this, bytes] { writeToDevice(bytes); });
}

bool DeviceStream::writeToDevice(QByteArray const& bytes)
{
    QIODevice* const device = device_();
    return device && device->write(bytes.constData(), bytes.size()) >= 0;
}

} // namespace vorsam
