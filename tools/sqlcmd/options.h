// Command line of clubiqa-sqlcmd. The switches follow sqlcmd so that scripts and habits carry over;
// values may be attached (`-Q"..."`, `-h-1`) or given as the next argument (`-h -1`). The two long options,
// --help (the same as -?) and --version, are those every program of this product answers.
#pragma once

#include <string>
#include <vector>

namespace sqlcmd {

struct Options {
  std::string server_dir;   // -S: the embedded server's directory
  std::string database;     // -d: empty means the login's default (master)
  std::string user;         // -U
  std::string password;     // -P
  bool integrated = false;  // -E, also the default without -U
  std::string query;        // -Q / -q text
  bool has_query = false;
  std::vector<std::string> input_files;  // -i, in the order given
  bool abort_on_error = false;           // -b
  int rows_per_header = 0;               // -h: 0 = once per row set, -1 = never, n = every n rows
  std::string separator = " ";           // -s
  bool trim = false;                     // -W
  std::string output_file;               // -o
  bool show_usage = false;               // -? or --help
  bool show_version = false;             // --version
};

// Parses argv. Returns false and sets `error` (one line, no trailing newline) when the command
// line cannot be used.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The usage summary printed for -? and --help: the synopsis, then one line per switch.
const char* UsageText();

// The synopsis alone (the first lines of UsageText), printed after a command line that cannot be used.
std::string UsageSynopsis();

// The line printed for --version: the program's name and the release number.
std::string VersionText();

}  // namespace sqlcmd
