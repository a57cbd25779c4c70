// The main window: the composition root that owns every object of the upgrader (the database access with
// both connections and listings, the statement runner, the catalogue) and runs the upgrade once, at its first
// activation.
//
// The run takes the server's run lock first (run_lock.h: a second upgrader on the same server is refused with
// an error box and changes nothing), then goes over every client database, then the tax-key pass and the
// shortcut refresh, shows the completion message and closes the window. A failure that no step handles ends the run
// where it happens; the activation shows it in the unhandled-failure box and leaves the window open and idle.
#ifndef CLUBIQA_APP_MAIN_WINDOW_H_
#define CLUBIQA_APP_MAIN_WINDOW_H_

#include <filesystem>
#include <string>
#include <string_view>

#include "app/run_lock.h"
#include "db/database_access.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "ui/ui.h"
#include "upgrade/catalogue.h"
#include "upgrade/tax_keys.h"

namespace app {

// The text of the unhandled-failure box: `failure_text`, with a full stop appended when its last character
// has a code above that of the full stop (letters, digits and most punctuation do).
std::string UnhandledFailureText(std::string_view failure_text);

// The completion message.
inline constexpr std::string_view kCompletionText = "UPDATE erfolgreich ausgeführt!";

class MainWindow {
 public:
  // `ui` must outlive the window. `exe_dir` is where SysDBAdo.INI is read.
  MainWindow(ui::Ui& ui, std::filesystem::path exe_dir);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // What the window framework does on an activation: the first one calls FormActivate, later ones nothing.
  // A failure leaving the run is shown in the unhandled-failure box here and not passed on.
  void Activate();

  void FormActivate();
  // The run over all client databases. Passes on the failures that no step handles.
  void acOKNeuExecute();
  void acCloseExecute() { ui_.Close(); }

  // True when a failure ended the run.
  [[nodiscard]] bool run_failed() const { return run_failed_; }

  db::DatabaseAccess& database() { return database_; }
  schema::StatementRunner& runner() { return runner_; }
  schema::Primitives& primitives() { return primitives_; }
  upgrade::Catalogue& catalogue() { return catalogue_; }

 private:
  void UpgradeClientDatabases();
  void UpdateAllTaxKeys();
  void RefreshShortcuts();

  ui::Ui& ui_;
  RunLock run_lock_;  // held from the server connection to the end of the window
  db::DatabaseAccess database_;
  schema::StatementRunner runner_;
  schema::Primitives primitives_;
  upgrade::Catalogue catalogue_;
  upgrade::TaxKeyPass tax_keys_;
  bool activated_ = false;
  bool run_failed_ = false;
};

}  // namespace app

#endif  // CLUBIQA_APP_MAIN_WINDOW_H_
