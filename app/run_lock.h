// The lock that keeps a second upgrader off a server while one runs on it.
//
// Two upgraders over the same client databases would send the same one-time conversions twice and
// interleave their create-if-missing steps. So a run first takes an exclusive application lock on the
// server, sp_getapplock in master with @LockOwner = 'Session' and @LockTimeout = 0, on a connection of its
// own that stays open for the whole run: the lock is the session's, so it ends when that connection closes,
// also when the program is killed or the network drops it, and no stale lock can keep the next run out. A
// run that finds the lock taken shows kRunLockedText in an error box and sends nothing else.
//
// The ui must outlive the lock.
#ifndef CLUBIQA_APP_RUN_LOCK_H_
#define CLUBIQA_APP_RUN_LOCK_H_

#include <filesystem>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "ui/ui.h"

namespace app {

// The name of the lock; the same for every release of the upgrader, so that they keep each other out too.
inline constexpr std::string_view kRunLockResource = "Clubiqa SQL Update";

// The text of the error box of a run that found the lock taken.
inline constexpr std::string_view kRunLockedText =
    "Das UPDATE wird auf diesem Server bereits ausgeführt!\n"
    "Bitte warten Sie, bis es beendet ist, und starten Sie das UPDATE dann erneut.";

// The batch that takes the lock and reads whether it was granted: APPLOCK_MODE answers "Exclusive" when this
// session holds it and "NoLock" when another one does.
std::string RunLockText();

// `connection_string` with its Initial Catalog replaced by master (added when it has none).
std::string MasterConnectionString(std::string_view connection_string);

class RunLock {
 public:
  explicit RunLock(ui::Ui& ui) : ui_(ui) {}

  // Opens the lock's connection from `server_connection_string` (the server connection's, pointed at master)
  // and takes the lock. Returns false after showing the error box when another run holds it. A failure to
  // connect or to run the batch leaves as db::Error.
  bool Acquire(std::string_view server_connection_string, const std::filesystem::path& exe_dir);

  [[nodiscard]] bool held() const { return connection_.connected(); }

 private:
  ui::Ui& ui_;
  db::Connection connection_;
};

}  // namespace app

#endif  // CLUBIQA_APP_RUN_LOCK_H_
