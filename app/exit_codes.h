// The exit codes of clubiqa-sql-update, which scripts read after a run on the console.
//
// The manual page (packaging/man/clubiqa-sql-update.1) lists them; keep the two in step.
#ifndef CLUBIQA_APP_EXIT_CODES_H_
#define CLUBIQA_APP_EXIT_CODES_H_

namespace app {

// The run completed and no box reported a failure; also --help and --version, and the window when it is
// closed (the window leaves the reading of its boxes to the user in front of it).
inline constexpr int kExitCompleted = 0;
// A failure ended the run: the unhandled-failure box was shown and the completion message was not.
inline constexpr int kExitRunEnded = 1;
// The program could not start its run (the window could not be built, its directory cannot be told).
inline constexpr int kExitCannotStart = 2;
// The run completed, but at least one box reported a failure on the way: a database that could not be
// opened, a statement the server rejected (warning and error boxes), a failing script batch or settings file
// (plain boxes). Whatever those boxes named was not done; the rest was.
inline constexpr int kExitCompletedWithFailures = 3;

}  // namespace app

#endif  // CLUBIQA_APP_EXIT_CODES_H_
