#pragma once

// Host hooks called at every worker thread's start and end. A host process
// may define its own; the library reaches them through the dynamic symbol table.
__attribute__((visibility("default"))) int AttachThread();
__attribute__((visibility("default"))) void DetachThread();
