// The session logs both trade sessions and the query session keep: a text
// log and a binary log, opened in the working directory at construction and
// moved to one directory by SetLogDir.
#ifndef HUX_SESSION_SESSION_LOGS_H
#define HUX_SESSION_SESSION_LOGS_H

#include "tools/base_log.h"

namespace HUX_SESSION {

// Log file names are cut to 511 characters.
const int LOG_NAME_LEN = 512;

// Opens "<prefix><start date>.log" and "<prefix><start date>.bin" in the
// working directory ("tavlog_" for the trade library's session,
// "tavlog_trade_" and "tavlog_query_" for the adapter's two).
void open_session_logs(base_log& text_log, base_log& bin_log, const char* prefix);

// SetLogDir of every session: letters, digits, '/', '-', '\\' and '_' only
// (anything else, an empty text or names longer than a log name can hold:
// nothing changes); a missing directory is created (0755); both logs are
// reopened there as "%s/tavlog_%s.log" and "%s/tavlog_%s.bin" (directory,
// start date; on Windows joined with one backslash, and a regular file of
// the directory's name refuses the move). Both new files are opened before either old one is closed:
// when one cannot be, the logs stay where they were and the text log says
// why. True when the logs moved.
bool set_session_log_dir(base_log& text_log, base_log& bin_log, const char* dir);

}  // namespace HUX_SESSION

#endif
