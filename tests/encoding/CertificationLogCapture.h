#pragma once

#include "engine/base/ECTCertificationLogging.h"

#include <QFile>
#include <QTemporaryDir>

namespace encodingtest {

// Points the process's certification log at a fresh file while it lives and
// switches the log off again afterwards.
class CertificationLogCapture {
public:
    CertificationLogCapture()
    {
        auto& log = oxa::ECTCertificationLogging::sharedInstance();
        log.updateEnvironment("certificationFilePath", m_dir.path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }

    ~CertificationLogCapture()
    {
        oxa::ECTCertificationLogging::sharedInstance().updateEnvironment("certificationModeEnabled", "false");
    }

    int occurrences(char const* text) const
    {
        QFile file(m_dir.filePath("certification.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count(text) : 0;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace encodingtest
