// Command line to first byte: from exec of `zelqon-cli send 1` to the first
// byte of its message readable on the controller's side of a pseudo-terminal.
//
//   bench_cli_first_byte ZELQON_CLI [RUNS]

#include "pty_peer.h"
#include "stats.h"


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

  const std::vector<double> latencies =
      bench::firstByteLatencies(cli, {"send", "1", "--port", port}, controller.masterFd(), runs);
  if (latencies.empty())
    return 1;
  ::close(keepOpen);
  std::printf("zelqon-cli start to first byte: median %.2f ms, min %.2f ms, max %.2f ms over %d runs\n",
              bench::median(latencies), latencies.front(), latencies.back(), runs);
  return 0;
}
