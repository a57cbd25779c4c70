#include "child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

namespace bench {
namespace {

// Sent back through the pipe in one write; plain data.
struct Report {
  int ok = 0;
  double seconds = 0;
  long max_rss_kib = 0;
  char text[kMaxChildText + 1] = {};
};

[[noreturn]] void ChildMain(int fd, const std::function<std::string()>& work) {
  Report report;
  const auto start = std::chrono::steady_clock::now();
  try {
    const std::string text = work();
    report.ok = 1;
    std::snprintf(report.text, sizeof report.text, "%s", text.c_str());
  } catch (const std::exception& e) {
    std::snprintf(report.text, sizeof report.text, "%s", e.what());
  }
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  report.max_rss_kib = usage.ru_maxrss;  // Linux reports KiB
  const ssize_t written = write(fd, &report, sizeof report);
  close(fd);
  // _exit: the parent's buffers and atexit handlers belong to the parent.
  _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
}

bool ReadReport(int fd, Report& report) {
  size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(&report);
  while (got < sizeof report) {
    const ssize_t n = read(fd, bytes + got, sizeof report - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ChildReport RunInChild(const std::function<std::string()>& work) {
  ChildReport result;
  int fds[2];
  if (pipe(fds) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid < 0) {
    result.error = std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return result;
  }
  if (pid == 0) {
    close(fds[0]);
    ChildMain(fds[1], work);
  }
  close(fds[1]);
  Report report;
  const bool got = ReadReport(fds[0], report);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!got) {
    result.error = "the child process ended without a report (status " + std::to_string(status) + ")";
    return result;
  }
  result.ok = report.ok != 0;
  result.seconds = report.seconds;
  result.peak_rss_mib = static_cast<double>(report.max_rss_kib) / 1024.0;
  (result.ok ? result.text : result.error) = report.text;
  return result;
}

}  // namespace bench
