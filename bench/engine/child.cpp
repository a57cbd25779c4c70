#include "child.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace bench {
namespace {

// What the child sends back through the pipe; plain data so one write carries it.
struct Report {
  int ok = 0;
  double seconds = 0;
  long max_rss_kib = 0;
  char error[480] = {};
};

double PeakRssMib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux reports KiB
}

[[noreturn]] void ChildMain(int fd, const std::function<double()>& work) {
  Report report;
  try {
    report.seconds = work();
    report.ok = 1;
  } catch (const std::exception& e) {
    std::snprintf(report.error, sizeof report.error, "%s", e.what());
  }
  report.max_rss_kib = static_cast<long>(PeakRssMib() * 1024.0);
  ssize_t written = write(fd, &report, sizeof report);
  close(fd);
  // _exit: the parent's buffers and atexit handlers belong to the parent.
  _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
}

bool ReadReport(int fd, Report& report) {
  size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(&report);
  while (got < sizeof report) {
    ssize_t n = read(fd, bytes + got, sizeof report - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ChildResult RunInChild(const std::function<double()>& work) {
  ChildResult result;
  int fds[2];
  if (pipe(fds) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
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
  bool got = ReadReport(fds[0], report);
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
  result.error = report.error;
  return result;
}

}  // namespace bench
