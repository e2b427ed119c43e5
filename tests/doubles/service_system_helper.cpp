// A service double with its own version resource (service_system_helper.rc).
#include "tests/doubles/service_double.h"

int main() {
  return servicedouble::Run();
}
