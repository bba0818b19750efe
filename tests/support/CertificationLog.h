#pragma once

#include "engine/base/ECTCertificationLogging.h"
#include "tests/support/FileText.h"

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// The certification log switched on, into a folder of its own, while this lives.
class CertificationLog {
public:
    CertificationLog()
    {
        auto& log = oxa::ECTCertificationLogging::sharedInstance();
        log.updateEnvironment("certificationFilePath", folder_.path().toStdString());
        log.updateEnvironment("certificationFileName", "certification.log");
        log.updateEnvironment("certificationModeEnabled", "true");
    }

    ~CertificationLog()
    {
        oxa::ECTCertificationLogging::sharedInstance().updateEnvironment("certificationModeEnabled", "false");
    }

    CertificationLog(const CertificationLog&) = delete;
    CertificationLog& operator=(const CertificationLog&) = delete;

    QString text() const { return QString::fromUtf8(contentOf(folder_.filePath("certification.log"))); }

private:
    QTemporaryDir folder_;
};

} // namespace testsupport
