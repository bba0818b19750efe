#pragma once

// Host hooks called at every worker thread's start and end. The library's
// versions do nothing; a host process may define its own, which take their
// place because the library reaches these through the dynamic symbol table.
// They live in a source file of their own so no call site can inline them.
__attribute__((visibility("default"))) int AttachThread();
__attribute__((visibility("default"))) void DetachThread();
