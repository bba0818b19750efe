#pragma once

#include "engine/base/ECTCertificationLogging.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>

namespace encodingtest {

// Points the process's certification log at a fresh file while it lives and
// switches the log off again afterwards.
class CertificationLogCapture {
public:
    explicit CertificationLogCapture(bool enabled = true)
    {
        auto& log = oxa::ECTCertificationLogging::sharedInstance();
        log.updateEnvironment("certificationFilePath", m_dir.path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", enabled ? "true" : "false");
    }

    ~CertificationLogCapture()
    {
        oxa::ECTCertificationLogging::sharedInstance().updateEnvironment("certificationModeEnabled", "false");
    }

    std::string contents() const
    {
        QFile file(m_dir.filePath("certification.log"));
        if (!file.open(QIODevice::ReadOnly))
            return std::string();
        return file.readAll().toStdString();
    }

    static std::size_t occurrences(std::string const& text, std::string const& part)
    {
        std::size_t count = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
            ++count;
        return count;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace encodingtest
