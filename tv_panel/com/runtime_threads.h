// The few thread primitives the language runtime's exception support asks for (mutexes, one-time
// initialisation, thread-local keys), built on Win32 functions every system of the panel's era
// has. Linked into the panel in place of the runtime's own threading library, which imports
// functions of later systems.
#ifndef QELTVBTV_RUNTIME_THREADS_H
#define QELTVBTV_RUNTIME_THREADS_H

// Runs the destructors of the calling thread's keys; the module calls it as a thread ends.
void RunThreadKeyDestructors();
// Gives the keys' slots back to the system as the module is unloaded: a process that loads and
// unloads the panel again and again must not run out of them.
void ReleaseThreadKeys();

#endif
