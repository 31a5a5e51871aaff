#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

inline double median(std::vector<double> values) {
  if (values.empty())
    return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Resident set size of a process in KiB, from /proc.
inline long residentKiB(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stol(line.substr(6));
  }
  return -1;
}

inline const char* verdict(bool met) { return met ? "met" : "NOT MET"; }

// CPU time of this process so far, user and system, in seconds.
inline double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Milliseconds from exec of `program arguments...` to the first byte
// readable on `readFd`, over `runs` runs, sorted; the rest of each message is
// drained. Empty when a run sent nothing within 5 s or the program failed.
inline std::vector<double> firstByteLatencies(const char* program, const std::vector<std::string>& arguments,
                                              int readFd, int runs) {
  std::vector<double> latencies;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(program)};
      for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      ::execv(program, argv.data());
      ::_exit(127);
    }
    pollfd ready{readFd, POLLIN, 0};
    if (::poll(&ready, 1, 5000) <= 0) {
      std::fprintf(stderr, "no byte within 5 s\n");
      return {};
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    int status = 0;
    ::waitpid(child, &status, 0);
    char drain[512];
    for (pollfd more{readFd, POLLIN, 0}; ::poll(&more, 1, 100) > 0 && ::read(readFd, drain, sizeof drain) > 0;) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%s failed with status %d\n", program, status);
      return {};
    }
  }
  std::sort(latencies.begin(), latencies.end());
  return latencies;
}

}  // namespace bench
