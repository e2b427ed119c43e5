// Test helper: a program with a version resource (verres_helper.rc on Windows) that
// tests read from outside, and that can be started as a child to look up and end.
//   verres_helper          exits at once with code 0
//   verres_helper wait     waits up to 30 seconds, then exits with code 0
#include <chrono>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "wait") == 0) {
    std::this_thread::sleep_for(std::chrono::seconds(30));
  }
  return 0;
}
