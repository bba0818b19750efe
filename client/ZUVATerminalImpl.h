#pragma once

#include "client/ZUVATerminal.h"

#include <memory>

namespace ect {

// The terminal object the client service builds from the C interface's
// terminal document.
class ZUVATerminalImpl : public ZUVATerminal {
public:
    ZUVATerminalImpl(const std::string& terminalId, const std::string& deviceType, const std::string& model,
                     const std::string& serialNumber, const std::string& softwareVersion,
                     const std::string& EMVKernelVersion);

    std::string terminalId() const override;
    std::string deviceType() const override;
    std::string model() const override;
    std::string serialNumber() const override;
    std::string softwareVersion() const override;
    std::string EMVKernelVersion() const override;

    bool connected() const override;
    void resetTransaction() override;
    void enableNotifications(bool enabled) override;
    std::string getConnectionDescription() const override;
    void send(Transaction&& transaction) override;
    void isAlive(std::function<void(bool)> callback) override;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace ect
