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
        std::lock_guard<std::mutex> lock(mutex());
        collected().clear();
        previous_ = qInstallMessageHandler(&collect);
    }
    ~QtWarnings() { qInstallMessageHandler(previous_); }
    QtWarnings(const QtWarnings&) = delete;
    QtWarnings& operator=(const QtWarnings&) = delete;

    static void collect(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (type == QtWarningMsg)
            collected() << text;
    }

    // The warnings so far, one a line.
    QString text() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return collected().join(QLatin1Char('\n'));
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex instance;
        return instance;
    }
    static QStringList& collected()
    {
        static QStringList instance;
        return instance;
    }

    QtMessageHandler previous_;
};

} // namespace testsupport
