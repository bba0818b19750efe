#include "encoding/LogHelpers.h"

#include "engine/base/ECTCertificationLogging.h"

namespace oxa {

void logZUVAMessage(std::string const& title, std::string const& text, ZUVAHeader const& header,
                    ZUVABody const& body)
{
    ECTCertificationLogging const& log = ECTCertificationLogging::sharedInstance();
    // The dumps are the expensive part: build them only while the log writes.
    if (!log.isLogging())
        return;

    std::string const rule(69, '-');
    log.logWithoutDate(rule);
    log.logWithoutDate(rule);
    log.log(title + " | " + text + "\n");
    log.logWithoutDate("---------------\nMessage header:\n---------------\n");
    log.logWithoutDate(header.dump());
    log.logWithoutDate("-------------\nMessage body:\n-------------\n");
    log.logWithoutDate(body.dumpWithLogOffsetStartAt(header.data().size()));
    log.logWithoutDate("\n");
}

} // namespace oxa
