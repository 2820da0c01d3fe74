#pragma once

namespace tarvik::zipio {

// How many threads compress or extract: `requested` when above 0, else the
// TARVIK_THREADS environment variable when it holds a number from 1 to 256,
// else one per processor core.
int WorkerThreads(int requested);

} // namespace tarvik::zipio
