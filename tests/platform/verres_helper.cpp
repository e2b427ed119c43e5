// Test helper: a program with a version resource (verres_helper.rc on Windows) that
// tests read from outside; it exits at once with code 0.
int main() {
  return 0;
}
