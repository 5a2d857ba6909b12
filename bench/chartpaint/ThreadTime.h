// The processor time the calling thread has used, for frame timings that
// leave out the time the thread waited for a core on a busy machine.
#pragma once

namespace tempolog::bench {

// Seconds of processor time (user and system) of the calling thread since it
// started. On Windows the system counts it in coarse steps (a scheduler tick),
// so read it over many frames, not one.
double ThreadSeconds();

}  // namespace tempolog::bench
