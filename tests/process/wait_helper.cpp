// A program that only waits: "wait_helper [milliseconds]" sleeps that long (60000
// by default) and ends with exit code 0. Tests start it as a process to act on.
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  long ms = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 60000;
  if (ms < 0) ms = 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return 0;
}
