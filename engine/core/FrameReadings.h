#pragma once

#include <QByteArray>

#include <boost/optional.hpp>

#include <utility>
#include <vector>

namespace oxa {

// The ways the frames held may read as messages where they allow more than
// one: a frame that could begin a message may begin one or continue the one
// before it; a frame that repeats the one before may be its resend or a new
// frame with the same bytes. A reading that meets bytes it cannot explain
// (bytes where a message should begin, a message longer than its header says)
// falls. Holding no readings means one: the held bytes from their start.
class FrameReadings {
public:
    struct Reading {
        // Where its messages begin in the held bytes.
        int start = 0;
        // Offset and size of each frame it leaves out as a resend, in order.
        std::vector<std::pair<int, int>> repeatsLeftOut;
    };
    struct Choice {
        Reading reading;
        // Another reading, keeping a frame this one leaves out, read as well.
        bool repeatUndecided = false;
    };

    // Whether bytes may be the first ones of a message: completed by an
    // empty header's bytes, their first header's worth passes the header's checks.
    static bool couldBeginMessage(QByteArray const& bytes);
    // The two bytes every message begins with.
    static QByteArray const& messageCode();
    // The bytes a reading takes of the held ones.
    static QByteArray bytesOf(QByteArray const& held, Reading const& reading);

    bool isSingle() const { return readings_.empty(); }
    // A frame of size bytes was appended at offset at of the held bytes.
    void addFrame(int at, int size, bool mayBeginMessage, bool mayBeRepeat);
    // Lets fall the readings the held bytes cannot be read under, and those
    // that leave out the most frames when too many are alive. The one left
    // when no other is alive (the first when none is); none while several are.
    boost::optional<Choice> decide(QByteArray const& held);
    // The best reading now that nothing more comes: whole messages before a
    // message still incomplete; among equals the earliest start, then the one
    // leaving more frames out (no result beats a wrong one). One reading after.
    Choice settle(QByteArray const& held);

private:
    // Readings kept alive at most.
    static const size_t kMostReadings = 16;

    std::vector<Reading> readings_;
};

} // namespace oxa
