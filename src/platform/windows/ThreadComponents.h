#pragma once

namespace platform {

// COM for the calling thread, for as long as the thread lives. Sound and camera are used from
// worker threads; one that has COM already (the UI thread's apartment) keeps it as it is.
void ensureThreadComponents();

}  // namespace platform
