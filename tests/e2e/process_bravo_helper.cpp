// A user-program double with its own version resource (process_bravo_helper.rc).
#include "tests/e2e/process_double.h"

int main() {
  return RunProcessDouble();
}
