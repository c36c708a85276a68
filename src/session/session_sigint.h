// The sessions' SIGINT handler and its owner (not on Windows). The handler
// belongs to the library only while a session object exists: it is
// installed by a session's connect, and the disposition found before it is
// put back when the last session object goes and at library unload.
#ifndef HUX_SESSION_SESSION_SIGINT_H
#define HUX_SESSION_SESSION_SIGINT_H

#ifndef _WIN32

namespace HUX_SESSION {

// A session object came into being / went (constructor and destructor).
void sigint_session_added();
void sigint_session_removed();

// Installs termination_handler for SIGINT (flags 0, empty mask): 0, or the
// error number of the failed sigaction.
int sigint_install();

// The SIGINT handler: closes the TCPDirect plug-in object of the last
// session that connected (unless a reconnect runs), prints
// "Exit on signal %d %s\n" and, when g_handle_sig is set, ends the process
// with code 0.
void termination_handler(int sig);

}  // namespace HUX_SESSION

#endif
#endif
