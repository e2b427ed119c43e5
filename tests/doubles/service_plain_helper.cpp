// A service double without a version resource.
#include "tests/doubles/service_double.h"

int main() {
  return servicedouble::Run();
}
