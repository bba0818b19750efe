#pragma once

#include "encoding/ber/ByteCopy.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace Ber {

// A byte string that keeps up to InlineCapacity bytes inside the object and
// takes a heap buffer only beyond that. Tags and most values of a message
// are a few bytes long; with one heap buffer each, a parse spent most of
// its time allocating.
template <std::size_t InlineCapacity>
class InlineBytes {
    static_assert(InlineCapacity >= sizeof(unsigned char*), "the heap pointer shares the inline space");
    static_assert(InlineCapacity < std::numeric_limits<uint32_t>::max(), "the capacity is 32-bit");

public:
    InlineBytes() noexcept {}
    InlineBytes(unsigned char const* bytes, std::size_t count) { assign(bytes, count); }
    InlineBytes(InlineBytes const& other) : InlineBytes(other.data(), other.count) {}
    InlineBytes(InlineBytes&& other) noexcept { takeOver(other); }
    ~InlineBytes() { release(); }

    InlineBytes& operator=(InlineBytes const& other)
    {
        if (this != &other)
            assign(other.data(), other.count);
        return *this;
    }

    InlineBytes& operator=(InlineBytes&& other) noexcept
    {
        if (this != &other) {
            release();
            takeOver(other);
        }
        return *this;
    }

    uint32_t size() const noexcept { return count; }
    bool isInline() const noexcept { return room == InlineCapacity; }
    unsigned char const* data() const noexcept { return isInline() ? storage.local : storage.heap; }
    unsigned char const* begin() const noexcept { return data(); }
    unsigned char const* end() const noexcept { return data() + count; }

    bool operator==(InlineBytes const& other) const noexcept
    {
        return count == other.count && (count == 0 || std::memcmp(data(), other.data(), count) == 0);
    }

    // Takes a heap buffer of exactly length bytes when they don't fit.
    // bytes may point into this string itself.
    void assign(unsigned char const* bytes, std::size_t length)
    {
        if (length > room) {
            moveToHeap(checkedSum(0, length), 0, bytes, length);
            return;
        }
        copyBytes(writable(), bytes, length);
        count = static_cast<uint32_t>(length);
    }

    // Grows geometrically, so that many small appends stay linear. bytes
    // may point into this string itself.
    void append(unsigned char const* bytes, std::size_t length)
    {
        if (length == 0)
            return;
        std::size_t const total = checkedSum(count, length);
        if (total > room) {
            moveToHeap(grownCapacity(total), count, bytes, length);
            return;
        }
        copyBytes(writable() + count, bytes, length);
        count = static_cast<uint32_t>(total);
    }

    // Makes the string length bytes longer, growing like append, and
    // returns where the new bytes start; the caller writes all of them.
    unsigned char* extend(std::size_t length)
    {
        std::size_t const total = checkedSum(count, length);
        if (total > room)
            moveToHeap(grownCapacity(total), count, nullptr, 0);
        unsigned char* const start = writable() + count;
        count = static_cast<uint32_t>(total);
        return start;
    }

private:
    unsigned char* writable() noexcept { return isInline() ? storage.local : storage.heap; }

    static std::size_t checkedSum(std::size_t size, std::size_t extra)
    {
        if (extra > std::numeric_limits<uint32_t>::max() - size)
            throw std::length_error("InlineBytes: more than 4 GiB");
        return size + extra;
    }

    std::size_t grownCapacity(std::size_t total) const noexcept
    {
        std::size_t const doubled = room <= std::numeric_limits<uint32_t>::max() / 2
                                        ? 2 * room
                                        : std::numeric_limits<uint32_t>::max();
        return total > doubled ? total : doubled;
    }

    // Copies the first kept bytes, then extra ones, into a heap buffer of
    // newRoom bytes; the old storage is released only after the copy.
    void moveToHeap(std::size_t newRoom, std::size_t kept, unsigned char const* extra, std::size_t extraLength)
    {
        unsigned char* buffer = new unsigned char[newRoom];
        if (kept > 0)
            std::memcpy(buffer, data(), kept);
        if (extraLength > 0)
            std::memcpy(buffer + kept, extra, extraLength);
        uint32_t const newCount = static_cast<uint32_t>(kept + extraLength);
        release();
        storage.heap = buffer;
        room = static_cast<uint32_t>(newRoom);
        count = newCount;
    }

    void release() noexcept
    {
        if (!isInline())
            delete[] storage.heap;
        room = InlineCapacity;
        count = 0;
    }

    // Leaves other empty.
    void takeOver(InlineBytes& other) noexcept
    {
        // The whole storage is copied at once, which is cheaper than a copy
        // of count bytes.
        storage = other.storage;
        count = other.count;
        room = other.room;
        other.room = InlineCapacity;
        other.count = 0;
    }

    uint32_t count = 0;
    // InlineCapacity while the bytes are inline, else the heap buffer's size
    // (always larger).
    uint32_t room = InlineCapacity;
    // Zeroed at first: takeOver copies the whole storage, and an optimizer
    // must not see it read bytes that were never written.
    union {
        unsigned char local[InlineCapacity];
        unsigned char* heap;
    } storage{};
};

}  // namespace Ber
