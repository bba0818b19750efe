#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace testsupport {

// Collects the Qt warnings of the whole process while it exists, in place of
// the handler installed before it, which it puts back.
class QtWarnings {
public:
    QtWarnings()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        collected_.clear();
        previous_ = qInstallMessageHandler(&collect);
    }
    ~QtWarnings() { qInstallMessageHandler(previous_); }
    QtWarnings(const QtWarnings&) = delete;
    QtWarnings& operator=(const QtWarnings&) = delete;

    static void collect(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (type == QtWarningMsg)
            collected_ << text;
    }

    // The warnings so far, one a line.
    QString text() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return collected_.join(QLatin1Char('\n'));
    }

private:
    static inline std::mutex mutex_;
    static inline QStringList collected_;
    QtMessageHandler previous_;
};

} // namespace testsupport
