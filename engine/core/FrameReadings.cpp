#include "engine/core/FrameReadings.h"

#include "encoding/ZUVABody.h"
#include "encoding/ZUVAHeader.h"

#include <algorithm>
#include <exception>

namespace oxa {

namespace {

// How bytes read as messages: not as their headers announce, all whole but
// the last (which more bytes may complete), or all whole.
enum class Fit { Broken, Partial, Whole };

Fit fitOf(QByteArray const& bytes)
{
    int at = 0;
    while (at < bytes.size()) {
        const int left = bytes.size() - at;
        if (left < ZUVAHeader::kSize)
            return FrameReadings::couldBeginMessage(bytes.mid(at)) ? Fit::Partial : Fit::Broken;
        try {
            const ZUVAHeader header(bytes.mid(at, ZUVAHeader::kSize));
            const int size = ZUVAHeader::kSize + header.length().length();
            if (left < size)
                return Fit::Partial;
            (void)ZUVABody(bytes.mid(at + ZUVAHeader::kSize, size - ZUVAHeader::kSize));
            at += size;
        } catch (std::exception const&) {
            return Fit::Broken;
        }
    }
    return Fit::Whole;
}

} // namespace

bool FrameReadings::couldBeginMessage(QByteArray const& bytes)
{
    QByteArray header = bytes.left(ZUVAHeader::kSize);
    header.append(FrameReadings::messageCode().mid(header.size()));
    header.append(ZUVAHeader::kSize - header.size(), '\0');
    try {
        (void)ZUVAHeader(header);
        return true;
    } catch (std::exception const&) {
        return false;
    }
}

QByteArray FrameReadings::bytesOf(QByteArray const& held, Reading const& reading)
{
    QByteArray bytes;
    int from = reading.start;
    for (const auto& repeat : reading.repeatsLeftOut) {
        bytes.append(held.mid(from, repeat.first - from));
        from = repeat.first + repeat.second;
    }
    bytes.append(held.mid(from));
    return bytes;
}

void FrameReadings::addFrame(int at, int size, bool mayBeginMessage, bool mayBeRepeat)
{
    if (readings_.empty())
        readings_.emplace_back();
    if (mayBeRepeat) {
        const size_t before = readings_.size();
        for (size_t index = 0; index < before; ++index) {
            Reading resent = readings_[index];
            resent.repeatsLeftOut.emplace_back(at, size);
            readings_.push_back(std::move(resent));
        }
    }
    if (mayBeginMessage)
        readings_.push_back(Reading{at, {}});
}

boost::optional<FrameReadings::Choice> FrameReadings::decide(QByteArray const& held)
{
    std::vector<QByteArray> alive;
    for (auto reading = readings_.begin(); reading != readings_.end();) {
        QByteArray bytes = bytesOf(held, *reading);
        // More bytes never mend a broken reading: reading it again at every
        // frame would cost each frame as much as the frames before it.
        if (fitOf(bytes) == Fit::Broken || std::find(alive.begin(), alive.end(), bytes) != alive.end()) {
            reading = readings_.erase(reading);
            continue;
        }
        alive.push_back(std::move(bytes));
        ++reading;
    }
    if (readings_.size() > kMostReadings) {
        // A long run of like frames (a wide ruled area): what leaves out the
        // most goes first; a resend seldom comes more than once a message.
        std::stable_sort(readings_.begin(), readings_.end(), [](Reading const& one, Reading const& other) {
            return one.repeatsLeftOut.size() < other.repeatsLeftOut.size();
        });
        readings_.resize(kMostReadings);
    }
    if (readings_.size() > 1)
        return boost::none;
    const Reading only = readings_.empty() ? Reading() : readings_.front();
    readings_.clear();
    return Choice{only, false};
}

FrameReadings::Choice FrameReadings::settle(QByteArray const& held)
{
    Choice best;
    Fit bestFit = Fit::Broken;
    bool tied = false;
    for (const Reading& reading : readings_) {
        const Fit fit = fitOf(bytesOf(held, reading));
        if (fit > bestFit) {
            best.reading = reading;
            bestFit = fit;
            tied = false;
        } else if (fit == bestFit) {
            tied = true;
            if (reading.start == best.reading.start
                && reading.repeatsLeftOut.size() > best.reading.repeatsLeftOut.size())
                best.reading = reading;
        }
    }
    best.repeatUndecided = tied && !best.reading.repeatsLeftOut.empty();
    readings_.clear();
    return best;
}

QByteArray const& FrameReadings::messageCode()
{
    static QByteArray const& code = *new QByteArray(QByteArrayLiteral("MC"));
    return code;
}

} // namespace oxa
