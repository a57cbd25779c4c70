// clubiqa-sqlcmd: runs T-SQL scripts against the embedded server with sqlcmd's conventions, so
// that people and tests can look into a server directory the way they would use sqlcmd on a real
// server. It is an ordinary client: everything goes through Session::Open and Session::Execute.
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "options.h"
#include "printer.h"
#include "script.h"

namespace sqlcmd {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// Why the run stops early; the exit code says it to the caller.
struct Stop {
  int exit_code;
};

std::unique_ptr<engine::Session> Connect(const Options& options) {
  engine::OpenOptions open;
  open.data_source = options.server_dir;
  open.initial_catalog = options.database;
  open.user_id = options.user;
  open.password = options.password;
  open.integrated_security = options.integrated;
  // A new directory becomes an empty server, so a first script can start with CREATE DATABASE.
  open.create_server = true;
  return engine::Session::Open(open);
}

// Runs batches as they arrive and remembers whether one failed.
class Runner {
 public:
  Runner(engine::Session& session, Printer& printer, bool abort_on_error)
      : session_(session), printer_(printer), abort_on_error_(abort_on_error) {}

  // Throws Stop when -b asks to end after a failing batch.
  void Run(const Batch& batch) {
    for (int i = 0; i < batch.repeat; ++i) {
      bool failed = printer_.Print(session_.Execute(batch.text));
      if (failed && abort_on_error_) throw Stop{kExitFailed};
    }
  }

 private:
  engine::Session& session_;
  Printer& printer_;
  bool abort_on_error_;
};

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

// Standard input is run batch by batch, so a person typing sees each result after its GO.
void RunStdin(Runner& runner) {
  ScriptSplitter splitter;
  std::string line;
  bool first = true;
  while (std::getline(std::cin, line)) {
    if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    first = false;
    if (std::optional<Batch> batch = splitter.AddLine(line)) runner.Run(*batch);
  }
  if (std::optional<Batch> batch = splitter.Finish()) runner.Run(*batch);
}

void RunScripts(const std::vector<std::string>& scripts, Runner& runner) {
  if (scripts.empty()) {
    RunStdin(runner);
    return;
  }
  for (const std::string& script : scripts) {
    for (const Batch& batch : SplitScript(script)) runner.Run(batch);
  }
}

// Collects the script texts before connecting, so a wrong file name costs no login.
bool LoadScripts(const Options& options, std::vector<std::string>& scripts) {
  if (options.has_query) {
    scripts.push_back(options.query);
    return true;
  }
  for (const std::string& path : options.input_files) {
    std::string text;
    if (!ReadFile(path, text)) {
      std::cerr << "Sqlcmd: '" << path << "': Invalid filename.\n";
      return false;
    }
    scripts.push_back(std::move(text));
  }
  return true;
}

int RunWithOutput(const Options& options, const std::vector<std::string>& scripts, std::ostream& out) {
  Printer printer(out, std::cerr, PrintOptions{options.rows_per_header, options.separator, options.trim});
  std::unique_ptr<engine::Session> session;
  try {
    session = Connect(options);
  } catch (const engine::SqlError& error) {
    printer.PrintError(error);
    return kExitFailed;
  }
  Runner runner(*session, printer, options.abort_on_error);
  try {
    RunScripts(scripts, runner);
  } catch (const Stop& stop) {
    return stop.exit_code;
  } catch (const ScriptError& error) {
    out.flush();
    std::cerr << "A fatal scripting error occurred.\n" << error.what() << '\n';
    return kExitFailed;
  } catch (const engine::SqlError& error) {
    // Only a session that cannot go on throws out of Execute.
    printer.PrintError(error);
    return kExitFailed;
  }
  return kExitOk;
}

int Main(int argc, const char* const* argv) {
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    std::cerr << error << '\n' << UsageSynopsis();
    return kExitFailed;
  }
  // Like sqlcmd's -?, help and version are answered without connecting, whatever else is given.
  if (options.show_usage) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (options.show_version) {
    std::cout << VersionText();
    return kExitOk;
  }
  std::vector<std::string> scripts;
  if (!LoadScripts(options, scripts)) return kExitFailed;
  if (options.output_file.empty()) return RunWithOutput(options, scripts, std::cout);
  std::ofstream out(options.output_file, std::ios::binary | std::ios::trunc);
  if (!out) {
    std::cerr << "Sqlcmd: '" << options.output_file << "': Invalid filename.\n";
    return kExitFailed;
  }
  return RunWithOutput(options, scripts, out);
}

}  // namespace
}  // namespace sqlcmd

int main(int argc, char** argv) {
  try {
    return sqlcmd::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "Sqlcmd: Error: " << e.what() << '\n';
    return 1;
  }
}
