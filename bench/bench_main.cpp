// The benchmark program's entry point. It measures the steady state of a
// long-lived process such as a JVM serving many requests: freed memory stays
// with the process instead of going back to the system after every call.
// Without this, glibc returns the large blocks of a million-row transform
// after each run and the next run pays a page fault for every fresh page,
// which on a virtual machine can cost more than the work done in the page;
// pass --fresh-memory to measure that way instead.
#include <malloc.h>

#include <benchmark/benchmark.h>

#include <cstring>

int main(int argc, char** argv) {
  bool freshMemory = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh-memory") == 0) {
      freshMemory = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (!freshMemory) {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
