#include "options.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "clubiqa/version.h"

namespace sqlcmd {
namespace {

bool TakesValue(char flag) { return std::strchr("SdUPQqihso", flag) != nullptr; }

bool ParseRowsPerHeader(std::string_view text, int& rows) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  // sqlcmd accepts -1 (no headers) or a positive count; 0 has no meaning there.
  if (value != -1 && value < 1) return false;
  rows = value;
  return true;
}

// sqlcmd lets one -i name several files separated by commas.
void AddInputFiles(std::string_view list, std::vector<std::string>& files) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    if (comma > start) files.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
}

bool ApplyValue(char flag, std::string_view value, Options& o, std::string& error) {
  switch (flag) {
    case 'S':
      o.server_dir = value;
      break;
    case 'd':
      o.database = value;
      break;
    case 'U':
      o.user = value;
      break;
    case 'P':
      o.password = value;
      break;
    case 'Q':
    case 'q':
      o.query = value;
      o.has_query = true;
      break;
    case 'i':
      AddInputFiles(value, o.input_files);
      break;
    case 'o':
      o.output_file = value;
      break;
    case 's':
      if (value.empty()) {
        error = "Sqlcmd: '-s': Missing argument. Enter '-?' for help.";
        return false;
      }
      o.separator = value;
      break;
    case 'h':
      if (!ParseRowsPerHeader(value, o.rows_per_header)) {
        error = "Sqlcmd: '-h': value must be either -1 or a value between 1 and 2147483647.";
        return false;
      }
      break;
  }
  return true;
}

bool ApplyFlag(char flag, Options& o, std::string& error) {
  switch (flag) {
    case 'E':
      o.integrated = true;
      return true;
    case 'b':
      o.abort_on_error = true;
      return true;
    case 'W':
      o.trim = true;
      return true;
    case '?':
      o.show_usage = true;
      return true;
  }
  error = std::string("Sqlcmd: '-") + flag + "': Unknown Option. Enter '-?' for help.";
  return false;
}

bool CheckCombination(Options& o, std::string& error) {
  if (o.show_usage || o.show_version) return true;
  if (o.has_query && !o.input_files.empty()) {
    error = "Sqlcmd: The i and the -Q options are mutually exclusive.";
    return false;
  }
  if (o.server_dir.empty()) {
    error = "Sqlcmd: '-S': a server directory is required. Enter '-?' for help.";
    return false;
  }
  // Like sqlcmd, no -U means a trusted connection as the current user.
  if (o.user.empty()) o.integrated = true;
  return true;
}

// sqlcmd has no long options; these two are the product's own, so anything else after "--" is unknown.
bool ApplyLongOption(std::string_view arg, Options& o, std::string& error) {
  if (arg == "--help") {
    o.show_usage = true;
    return true;
  }
  if (arg == "--version") {
    o.show_version = true;
    return true;
  }
  error = "Sqlcmd: '" + std::string(arg) + "': Unknown Option. Enter '-?' for help.";
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') {
      error = "Sqlcmd: '" + std::string(arg) + "': Unexpected argument. Enter '-?' for help.";
      return false;
    }
    if (arg.starts_with("--")) {
      if (!ApplyLongOption(arg, options, error)) return false;
      continue;
    }
    char flag = arg[1];
    if (!TakesValue(flag)) {
      if (arg.size() > 2) {
        error = "Sqlcmd: '" + std::string(arg) + "': Unknown Option. Enter '-?' for help.";
        return false;
      }
      if (!ApplyFlag(flag, options, error)) return false;
      continue;
    }
    std::string_view value = arg.substr(2);
    if (value.empty()) {
      // The next argument is the value even when it starts with '-', as in `-h -1`.
      if (i + 1 >= argc) {
        error = std::string("Sqlcmd: '-") + flag + "': Missing argument. Enter '-?' for help.";
        return false;
      }
      value = argv[++i];
    }
    if (!ApplyValue(flag, value, options, error)) return false;
  }
  return CheckCombination(options, error);
}

const char* UsageText() {
  return "usage: clubiqa-sqlcmd -S server_dir [-d db] [-U login [-P password] | -E]\n"
         "                      [-Q \"query\" | -q \"query\" | -i file[,file...] ...] [-o output_file]\n"
         "                      [-b] [-h headers] [-s col_separator] [-W]\n"
         "       clubiqa-sqlcmd -? | --help | --version\n"
         "  -S  server directory (created as an empty server when it does not exist)\n"
         "  -d  database to use          -U/-P  login and password     -E  trusted connection\n"
         "  -Q  run the query and exit   -q     same as -Q             -i  script files, split at GO lines\n"
         "  -b  stop with exit code 1 after the first batch that fails\n"
         "  -h  -1 for no column headers, n to repeat them every n rows\n"
         "  -s  column separator (default: one blank)\n"
         "  -W  remove trailing blanks from every field\n"
         "  -o  write the output to this file\n"
         "  -?, --help  print this summary     --version  print the release number\n"
         "Without -Q/-q/-i the script is read from standard input.\n";
}

std::string UsageSynopsis() {
  const std::string_view usage = UsageText();
  return std::string(usage.substr(0, usage.find("\n  -S") + 1));
}

std::string VersionText() { return std::string("clubiqa-sqlcmd ") + clubiqa::kVersion + "\n"; }

}  // namespace sqlcmd
