#include "HostsWarningHandler.h"

#include <QtGlobal>

#include <mutex>

namespace testsupport {

namespace {

std::mutex& reactionMutex = *new std::mutex;
auto& reaction = *new std::function<void(const QString&)>;
QtMessageHandler previousHandler = nullptr;

void hostsHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    std::function<void(const QString&)> react;
    {
        const std::lock_guard<std::mutex> lock(reactionMutex);
        react = reaction;
    }
    if (react)
        react(text);
    if (previousHandler)
        previousHandler(type, context, text);
}

const bool installed = [] {
    previousHandler = qInstallMessageHandler(hostsHandler);
    return true;
}();

} // namespace

void reactToWarnings(std::function<void(const QString& warning)> react)
{
    const std::lock_guard<std::mutex> lock(reactionMutex);
    reaction = std::move(react);
}

} // namespace testsupport
