// Command line to first byte: from exec of `zelqon-cli send 1` to the first
// byte of its message readable on the controller's side of a pseudo-terminal.
//
//   bench_cli_first_byte ZELQON_CLI [RUNS]

#include "pty_peer.h"
#include "stats.h"

#include <chrono>
#include <string>

#include <sys/wait.h>

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ZELQON_CLI [RUNS]\n", argv[0]);
    return 2;
  }
  const char* cli = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 30;
  PtyPeer controller;
  const std::string port = controller.slavePath().toStdString();
  // Held open here so that the controller's side waits for data rather than
  // reporting a hang-up between two runs.
  const int keepOpen = ::open(port.c_str(), O_RDWR | O_NOCTTY);

  std::vector<double> latencies;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDERR_FILENO);
      ::execl(cli, cli, "send", "1", "--port", port.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    pollfd ready{controller.masterFd(), POLLIN, 0};
    if (::poll(&ready, 1, 5000) <= 0) {
      std::fprintf(stderr, "no byte within 5 s\n");
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    int status = 0;
    ::waitpid(child, &status, 0);
    (void)controller.receive(70, 500);  // drain the rest of the message
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "zelqon-cli failed with status %d\n", status);
      return 1;
    }
  }
  ::close(keepOpen);
  std::sort(latencies.begin(), latencies.end());
  std::printf("zelqon-cli start to first byte: median %.2f ms, min %.2f ms, max %.2f ms over %d runs\n",
              bench::median(latencies), latencies.front(), latencies.back(), runs);
  return 0;
}
