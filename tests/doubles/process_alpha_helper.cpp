// A user-program double with its own version resource (process_alpha_helper.rc).
#include "tests/doubles/process_double.h"

int main() {
  return RunProcessDouble();
}
