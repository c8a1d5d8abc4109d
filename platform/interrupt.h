// The user's request to stop (Ctrl+C, a termination signal, the console window closing)
// turned into a flag the program polls, so that a job stops the normal way, with its files
// closed, instead of the process dying where it stands.
#pragma once

namespace platform {

// From now on those requests set the flag instead of ending the process. An interrupt that
// was ignored when the program started (a job started in the background) stays ignored.
// False, with the system's error set, when the catching could not be set up.
bool CatchInterrupts();

// True once a request came. May be polled from any thread.
bool Interrupted();

// The program has stopped its work and is about to exit. On Windows a closing console ends
// the process as soon as its handler returns, so the handler holds that request (a few
// seconds at most) until this call.
void WorkStopped();

}  // namespace platform
