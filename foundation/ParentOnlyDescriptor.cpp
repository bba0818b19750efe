#include "foundation/ParentOnlyDescriptor.h"

#include <atomic>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorsam {

// A held descriptor and the file it was opened on: a descriptor that Qt
// closed before its release may have been reused by the host meanwhile.
// Its fields are written only while the slot is claimed.
struct ParentOnlyDescriptor::Slot {
    enum State { Free, Claimed, Held };
    std::atomic<int> state{Free};
    int descriptor = -1;
    dev_t device = 0;
    ino_t inode = 0;
};

namespace {

using Slot = ParentOnlyDescriptor::Slot;

// Blocks are appended as needed and never freed: the child's handler walks
// them without a lock, which a parent thread may have held as it forked.
struct Block {
    Slot slots[64];
    std::atomic<Block*> next{nullptr};
};

Block firstBlock;
// Opened once in the parent: a child at its descriptor limit could open nothing.
int blank = -1;

bool stillOpenOn(const Slot& slot)
{
    struct stat status {};
    return ::fstat(slot.descriptor, &status) == 0 && status.st_dev == slot.device && status.st_ino == slot.inode;
}

void takeOver(int descriptor)
{
    if (blank >= 0)
        ::dup3(blank, descriptor, O_CLOEXEC);
    else
        ::close(descriptor);
}

// Runs in the child as the fork returns, with no other thread.
void takeOverInChild()
{
    for (Block* block = &firstBlock; block; block = block->next.load(std::memory_order_acquire))
        for (const Slot& slot : block->slots)
            if (slot.state.load(std::memory_order_acquire) == Slot::Held && stillOpenOn(slot))
                takeOver(slot.descriptor);
}

void setUpOnce()
{
    static const bool setUp = [] {
        blank = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        return ::pthread_atfork(nullptr, nullptr, &takeOverInChild) == 0;
    }();
    static_cast<void>(setUp);
}

Block* nextBlock(Block& block)
{
    Block* next = block.next.load(std::memory_order_acquire);
    if (next)
        return next;
    auto* const fresh = new Block;
    if (block.next.compare_exchange_strong(next, fresh, std::memory_order_acq_rel))
        return fresh;
    delete fresh;
    return next;
}

Slot& claimSlot()
{
    for (Block* block = &firstBlock;; block = nextBlock(*block))
        for (Slot& slot : block->slots) {
            int free = Slot::Free;
            if (slot.state.compare_exchange_strong(free, Slot::Claimed, std::memory_order_acquire))
                return slot;
        }
}

} // namespace

ParentOnlyDescriptor::~ParentOnlyDescriptor()
{
    release();
}

void ParentOnlyDescriptor::hold(int descriptor)
{
    release();
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0)
        return;
    setUpOnce();
    Slot& slot = claimSlot();
    slot.descriptor = descriptor;
    slot.device = status.st_dev;
    slot.inode = status.st_ino;
    slot.state.store(Slot::Held, std::memory_order_release);
    slot_ = &slot;
}

void ParentOnlyDescriptor::release()
{
    if (slot_)
        slot_->state.store(Slot::Free, std::memory_order_release);
    slot_ = nullptr;
}

} // namespace vorsam
