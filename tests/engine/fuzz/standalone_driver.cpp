// A small stand-in for libFuzzer's driver, so that the parser fuzz target runs with any
// compiler. It has no coverage feedback: it mutates a seed corpus of real T-SQL at random (bit
// flips, byte edits, dictionary tokens, cut, duplicated and spliced ranges) and stacks
// mutations on earlier mutants, which reaches deep into the grammar because the seeds do.
//
//   parser_fuzz_standalone [-max_total_time=S] [-timeout=S] [-seed=N] [-runs=N]
//                          [-dict=FILE] [-artifact_prefix=P] CORPUS_DIR... | INPUT_FILE...
//
// Flags are spelled as libFuzzer spells them. With files instead of directories it runs each
// file once (to replay a failure). A failing input (crash, sanitizer report, exception other
// than SqlError, an input running longer than -timeout) is written to <artifact_prefix>crash
// and the driver exits non-zero.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CLUBIQA_FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CLUBIQA_FUZZ_ASAN 1
#endif
#if defined(CLUBIQA_FUZZ_ASAN)
#include <sanitizer/common_interface_defs.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kMaxInputSize = 8192;
constexpr size_t kMutantPoolSize = 512;

struct Options {
  double max_total_time = 10;
  int timeout = 20;
  uint64_t seed = 0;
  bool seed_given = false;
  uint64_t runs = 0;  // 0: until the time is up
  std::string dict;
  std::string artifact_prefix = "./";
  std::vector<fs::path> inputs;
};

// ------------------------------------------------------------------------------------------
// Keeping the failing input: everything the crash handlers touch is prepared in advance.
// ------------------------------------------------------------------------------------------

std::string g_artifact_path;
const std::string* g_current = nullptr;  // the input under test
std::atomic<uint64_t> g_executions{0};

void SaveCurrentInput(const char* why) {
  std::fprintf(stderr, "\nparser_fuzz: %s; the input is saved as %s\n", why, g_artifact_path.c_str());
  if (g_current == nullptr) return;
  if (std::FILE* out = std::fopen(g_artifact_path.c_str(), "wb")) {
    std::fwrite(g_current->data(), 1, g_current->size(), out);
    std::fclose(out);
  }
}

extern "C" void OnFatalSignal(int signal_number) {
  SaveCurrentInput(signal_number == SIGABRT ? "abort" : "fatal signal");
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

#if defined(CLUBIQA_FUZZ_ASAN)
extern "C" void OnSanitizerDeath() { SaveCurrentInput("sanitizer report"); }
#endif

void InstallCrashHandlers() {
#if defined(CLUBIQA_FUZZ_ASAN)
  // AddressSanitizer reports memory faults itself (with a stack); it calls back before dying.
  __sanitizer_set_death_callback(OnSanitizerDeath);
  std::signal(SIGABRT, OnFatalSignal);
#else
  for (int s : {SIGSEGV, SIGFPE, SIGILL, SIGABRT}) std::signal(s, OnFatalSignal);
#endif
}

// A parser that loops forever is a failure too; the executions counter shows progress.
void StartWatchdog(int timeout_seconds) {
  std::thread([timeout_seconds] {
    uint64_t seen = g_executions.load();
    auto since = Clock::now();
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      const uint64_t now = g_executions.load();
      if (now != seen) {
        seen = now;
        since = Clock::now();
      } else if (Clock::now() - since > std::chrono::seconds(timeout_seconds)) {
        SaveCurrentInput("an input ran longer than -timeout");
        std::_Exit(1);
      }
    }
  }).detach();
}

// Runs one input; false when it failed without crashing (an unexpected exception).
bool RunOne(const std::string& input) {
  g_current = &input;
  try {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  } catch (const std::exception& e) {
    SaveCurrentInput((std::string("unexpected exception: ") + e.what()).c_str());
    return false;
  } catch (...) {
    SaveCurrentInput("unexpected exception of unknown type");
    return false;
  }
  g_executions.fetch_add(1);
  return true;
}

// ------------------------------------------------------------------------------------------
// Inputs
// ------------------------------------------------------------------------------------------

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// libFuzzer's dictionary format: one `name="token"` per line, `\\`, `\"` and `\xAB` escapes.
std::vector<std::string> ReadDictionary(const std::string& path) {
  std::vector<std::string> tokens;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (line.starts_with("#") || open == std::string::npos || close <= open) continue;
    std::string token;
    for (size_t i = open + 1; i < close; ++i) {
      if (line[i] == '\\' && i + 3 < close && line[i + 1] == 'x' &&
          std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
          std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
        token += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else if (line[i] == '\\' && i + 1 < close) {
        token += line[++i];
      } else {
        token += line[i];
      }
    }
    if (!token.empty()) tokens.push_back(token);
  }
  return tokens;
}

// ------------------------------------------------------------------------------------------
// Mutation
// ------------------------------------------------------------------------------------------

class Mutator {
 public:
  Mutator(uint64_t seed, std::vector<std::string> seeds, std::vector<std::string> dictionary)
      : random_(seed), seeds_(std::move(seeds)), dictionary_(std::move(dictionary)) {
    // Bytes that change how the lexer reads what follows.
    for (std::string_view t : {"'", "\"", "[", "]", "(", ")", ",", ";", "--", "/*", "*/", "\n", "N'", ".", "@", "?"}) {
      dictionary_.emplace_back(t);
    }
  }

  std::string Next() {
    std::string input = Base();
    const int mutations = Below(8) + 1;
    for (int i = 0; i < mutations; ++i) Mutate(input);
    if (input.size() > kMaxInputSize) input.resize(kMaxInputSize);
    Remember(input);
    return input;
  }

 private:
  int Below(size_t n) {
    return n == 0 ? 0 : static_cast<int>(std::uniform_int_distribution<size_t>(0, n - 1)(random_));
  }
  size_t Pos(const std::string& s) { return static_cast<size_t>(Below(s.size() + 1)); }
  const std::string& AnySeed() { return seeds_[static_cast<size_t>(Below(seeds_.size()))]; }

  std::string Base() {
    if (!mutants_.empty() && Below(2) == 0) return mutants_[static_cast<size_t>(Below(mutants_.size()))];
    return AnySeed();
  }

  void Remember(const std::string& input) {
    if (mutants_.size() < kMutantPoolSize) {
      mutants_.push_back(input);
    } else {
      mutants_[static_cast<size_t>(Below(kMutantPoolSize))] = input;
    }
  }

  std::string Token() { return dictionary_[static_cast<size_t>(Below(dictionary_.size()))]; }

  void Mutate(std::string& s) {
    switch (Below(9)) {
      case 0:  // flip one bit
        if (!s.empty()) s[Pos(s) % s.size()] ^= static_cast<char>(1 << Below(8));
        break;
      case 1:  // replace one byte
        if (!s.empty()) s[Pos(s) % s.size()] = static_cast<char>(Below(256));
        break;
      case 2:  // insert one byte
        s.insert(Pos(s), 1, static_cast<char>(Below(256)));
        break;
      case 3:  // insert a token
      case 4:
        s.insert(Pos(s), Token());
        break;
      case 5: {  // erase a range
        const size_t at = Pos(s);
        s.erase(at, static_cast<size_t>(Below(std::min<size_t>(s.size() - at, 64) + 1)));
        break;
      }
      case 6: {  // duplicate a range somewhere else (nesting, repeated clauses)
        const size_t at = Pos(s);
        const std::string chunk = s.substr(at, static_cast<size_t>(Below(std::min<size_t>(s.size() - at, 128) + 1)));
        s.insert(Pos(s), chunk);
        break;
      }
      case 7: {  // splice: this input's head, another seed's tail
        const std::string& other = AnySeed();
        s = s.substr(0, Pos(s)) + other.substr(Pos(other));
        break;
      }
      default: {  // replace a range by a token
        const size_t at = Pos(s);
        s.replace(at, static_cast<size_t>(Below(std::min<size_t>(s.size() - at, 16) + 1)), Token());
        break;
      }
    }
  }

  std::mt19937_64 random_;
  std::vector<std::string> seeds_;
  std::vector<std::string> dictionary_;
  std::vector<std::string> mutants_;
};

// ------------------------------------------------------------------------------------------
// Command line and the two modes
// ------------------------------------------------------------------------------------------

bool ParseFlag(const std::string& arg, std::string_view name, std::string& value) {
  const std::string prefix = "-" + std::string(name) + "=";
  if (!arg.starts_with(prefix)) return false;
  value = arg.substr(prefix.size());
  return true;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string v;
    if (ParseFlag(arg, "max_total_time", v)) {
      options.max_total_time = std::stod(v);
    } else if (ParseFlag(arg, "timeout", v)) {
      options.timeout = std::stoi(v);
    } else if (ParseFlag(arg, "seed", v)) {
      options.seed = std::stoull(v);
      options.seed_given = true;
    } else if (ParseFlag(arg, "runs", v)) {
      options.runs = std::stoull(v);
    } else if (ParseFlag(arg, "dict", v)) {
      options.dict = v;
    } else if (ParseFlag(arg, "artifact_prefix", v)) {
      options.artifact_prefix = v;
    } else if (arg.starts_with("-")) {
      throw std::invalid_argument("unknown flag " + arg);
    } else {
      options.inputs.emplace_back(arg);
    }
  }
  return options;
}

int Replay(const std::vector<fs::path>& files) {
  for (const auto& file : files) {
    const std::string input = ReadFile(file);
    std::cerr << "parser_fuzz: running " << file.string() << " (" << input.size() << " bytes)\n";
    if (!RunOne(input)) return 1;
  }
  std::cerr << "parser_fuzz: " << files.size() << " inputs ran without failure\n";
  return 0;
}

std::vector<std::string> LoadCorpus(const std::vector<fs::path>& dirs) {
  std::vector<fs::path> files;
  for (const auto& dir : dirs) {
    if (fs::is_regular_file(dir)) {
      files.push_back(dir);
      continue;
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> seeds;
  for (const auto& file : files) seeds.push_back(ReadFile(file));
  return seeds;
}

// Every seed, and every seed cut short at each byte: unfinished strings, comments, brackets
// and clauses are where lexers and parsers go wrong.
bool RunSeedsAndPrefixes(const std::vector<std::string>& seeds) {
  for (const auto& seed : seeds) {
    for (size_t n = 0; n <= seed.size(); ++n) {
      if (!RunOne(seed.substr(0, n))) return false;
    }
  }
  return true;
}

int Fuzz(const Options& options) {
  std::vector<std::string> seeds = LoadCorpus(options.inputs);
  if (seeds.empty()) seeds.emplace_back("SELECT 1");
  const uint64_t seed = options.seed_given ? options.seed : std::random_device{}();
  std::cerr << "parser_fuzz: " << seeds.size() << " seeds, seed=" << seed << ", " << options.max_total_time << " s\n";
  const auto start = Clock::now();
  if (!RunSeedsAndPrefixes(seeds)) return 1;

  Mutator mutator(seed, seeds, options.dict.empty() ? std::vector<std::string>{} : ReadDictionary(options.dict));
  const auto budget = std::chrono::duration<double>(options.max_total_time);
  for (uint64_t run = 0; options.runs == 0 || run < options.runs; ++run) {
    if ((run & 63) == 0 && Clock::now() - start > budget) break;
    if (!RunOne(mutator.Next())) return 1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::cerr << "parser_fuzz: " << g_executions.load() << " inputs in " << seconds << " s (seed=" << seed
            << "), no failures\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "parser_fuzz: " << e.what() << "\n";
    return 2;
  }
  g_artifact_path = options.artifact_prefix + "crash";
  InstallCrashHandlers();
  StartWatchdog(options.timeout);
  const bool replay = !options.inputs.empty() && std::all_of(options.inputs.begin(), options.inputs.end(),
                                                             [](const fs::path& p) { return fs::is_regular_file(p); });
  for (const auto& input : options.inputs) {
    if (!fs::exists(input)) {
      std::cerr << "parser_fuzz: no such file or directory: " << input.string() << "\n";
      return 2;
    }
  }
  return replay ? Replay(options.inputs) : Fuzz(options);
}
