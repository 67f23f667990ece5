#pragma once
// How much of the machine a long background read may take.

namespace platform {

// The calling thread (on Linux each thread has its own) reads in the idle I/O class and
// runs at the lowest CPU priority (nice 19). False when either cannot be set.
bool SetIdlePriority();

// The calling thread's I/O class (0 none set, 1 real time, 2 best effort, 3 idle), or -1
// when it cannot be read.
int IoPriorityClass();
// The calling thread's nice value.
int NiceValue();

}  // namespace platform
