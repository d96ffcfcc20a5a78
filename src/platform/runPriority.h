#pragma once

namespace platform {

// The calling thread's scheduling priority while a run keeps time: raised through what the
// system grants an ordinary user, so that a busy machine does not hold a tick back, and back to
// normal when the run ends. Where nothing is granted, the thread stays as it was, silently.
// Linux: a real-time policy where the process may take it (root, or a real-time limit such as
// the audio group's), else from the desktop's RealtimeKit over D-Bus; Windows: the highest
// thread priority of a normal process.
void raiseRunPriority();
void restoreRunPriority();
bool runPriorityRaised();

} // namespace platform
