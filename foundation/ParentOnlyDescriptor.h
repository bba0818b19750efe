#pragma once

namespace vorsam {

// One of the library's descriptors that holds something outside the process
// (a listening port, a terminal's connection, a serial line). The library
// serves only the process that set it up: in a child forked while it is held,
// the descriptor's number is taken over by /dev/null as the fork returns, so
// the child holds nothing of the parent's, and a stale object in the child
// never touches a file the child opens later. Hold it as soon as it is open;
// release it before it is closed.
class ParentOnlyDescriptor {
public:
    struct Slot;

    ParentOnlyDescriptor() = default;
    ~ParentOnlyDescriptor();
    ParentOnlyDescriptor(const ParentOnlyDescriptor&) = delete;
    ParentOnlyDescriptor& operator=(const ParentOnlyDescriptor&) = delete;

    // Releases what was held before.
    void hold(int descriptor);
    void release();

private:
    Slot* slot_ = nullptr;
};

} // namespace vorsam
