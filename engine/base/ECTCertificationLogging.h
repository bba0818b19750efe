#pragma once

#include "foundation/LibraryMutex.h"

#include <atomic>
#include <ctime>
#include <mutex>
#include <string>

namespace oxa {

// The certification log: a text file of the traffic with the terminals,
// written only while certification mode is on and folder and file name are set.
// Every entry is echoed (without date) to standard output. The file is made
// for the process's user alone; one that is not a regular file of that user
// with a single name takes nothing, and the host's warning handler is told.
class ECTCertificationLogging {
public:
    static ECTCertificationLogging& sharedInstance();

    ECTCertificationLogging();
    // A copy starts afresh; assignment changes nothing.
    ECTCertificationLogging(ECTCertificationLogging const&);
    ECTCertificationLogging& operator=(ECTCertificationLogging const&);

    // Takes "certificationModeEnabled", "certificationFilePath" and
    // "certificationFileName"; other keys are ignored.
    void updateEnvironment(std::string key, std::string value);

    // Whether log() would write now; lets callers skip building costly texts.
    bool isLogging() const;

    void log(std::string text) const;
    void logWithoutDate(std::string text) const;
    void log(std::string text, bool dated) const;

private:
    struct Destination {
        bool complete = false;
        std::string filePath;
    };

    Destination destination() const;
    static std::string printable(std::string text);
    // Why the file refused the entry; empty when it took it or could not be opened.
    static std::string append(std::string const& filePath, std::string const& line);
    static std::string refused(std::string const& filePath, std::string const& reason);

    std::atomic<bool> enabled_{false};
    mutable vorsam::LibraryMutex settingsMutex_;
    bool hasFolder_ = false;
    bool hasFileName_ = false;
    std::string folder_;
    std::string fileName_;
    mutable vorsam::LibraryMutex fileMutex_;
    // Whether the host was told of the refusal the last entry met; guarded by fileMutex_.
    mutable bool refusalReported_ = false;
};

// The current local date and time as "YYYY/MM/DD hh:mm:ss".
std::string currentDateAsString();
// The same layout for a given broken-down time.
std::string dateAsString(std::tm const& time);

} // namespace oxa
