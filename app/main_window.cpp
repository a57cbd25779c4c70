// The run driver of the main window.
#include "app/main_window.h"

#include <exception>
#include <utility>

#include "shell/shortcuts.h"

namespace app {

std::string UnhandledFailureText(std::string_view failure_text) {
  std::string text(failure_text);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

MainWindow::MainWindow(ui::Ui& ui, std::filesystem::path exe_dir)
    : ui_(ui),
      run_lock_(ui),
      database_(ui, std::move(exe_dir)),
      runner_(database_.ADOConnection(), ui),
      primitives_(runner_, database_.CurrentCatalog()),
      catalogue_(database_.ADOConnection(), runner_, primitives_, ui),
      tax_keys_(database_, runner_, ui) {}

void MainWindow::Activate() {
  if (activated_) return;  // message boxes and task switches re-activate the window; the run is once
  activated_ = true;
  try {
    FormActivate();
  } catch (const std::exception& e) {
    run_failed_ = true;
    ui_.ShowBox(ui::BoxKind::kUnhandled, UnhandledFailureText(e.what()));
  }
}

void MainWindow::FormActivate() {
  ui_.ShowPicture(ui::Picture::kImageVanta);
  ui_.SetCaption(ui::kApplicationTitle);
  acOKNeuExecute();
}

void MainWindow::acOKNeuExecute() {
  ui_.ProcessMessages();  // let the window paint itself before the first connection blocks it
  database_.pConn(db::kServerCatalog);
  // Without a server connection the listing below fails as it always has; with one, a run already busy on
  // the server keeps this one from changing anything.
  if (database_.ADOConnectionMand().connected() &&
      !run_lock_.Acquire(database_.ADOConnectionMand().connection_string(), database_.exe_dir())) {
    run_failed_ = true;
    return;
  }
  UpgradeClientDatabases();
  UpdateAllTaxKeys();
  RefreshShortcuts();
  ui_.SetCaption(ui::kApplicationTitle);
  ui_.ShowBox(ui::BoxKind::kInformation, kCompletionText);
  ui_.SetGauge(0);
  ui_.Close();
}

// Opening the listing is not guarded: on a closed server connection it tries to connect once more, and its
// failure ends the run.
void MainWindow::UpgradeClientDatabases() {
  db::Query& qryMand = database_.qryMand();
  qryMand.Close();
  qryMand.Open();
  for (qryMand.First(); !qryMand.eof(); qryMand.Next()) {
    const std::string name = qryMand.AsString("name");
    ui_.SetCaption(name + "/" + std::string(ui::kApplicationTitle));
    database_.MandantChange(name);
    catalogue_.acOKExecute();
  }
  qryMand.Close();
}

// The tax-key widening pass over all client databases, temporary ones included.
void MainWindow::UpdateAllTaxKeys() { tax_keys_.UpdateAllTaxKeys(); }

// Sets the descriptions of the Clubiqa and Sorelda shortcuts; silent, and it never ends the run.
void MainWindow::RefreshShortcuts() { shell::RefreshShortcuts(); }

}  // namespace app
