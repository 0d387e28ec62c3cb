// Archive work on AutoScout24-sized deliveries: adding a staging folder of 50 and of 200
// photos (64 KiB each, half of it compressible) with Deflate level 9, and reading back
// the central directory of an archive of 1,000 and 4,000 entries.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>

#include "platform/front_end.h"
#include "platform/platform.h"
#include "zip/zip_builder.h"

namespace {

using kalvex::NullFrontEnd;
using kalvex::TZip;

std::string MakeFolder() {
  std::string pattern = kalvex::platform::GetEnv("TMPDIR");
  if (pattern.empty()) pattern = "/tmp";
  pattern += "/kalvex-zip-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) std::abort();
  return pattern;
}

void RemoveFolder(const std::string& folder) {
  std::string command = "rm -rf '" + folder + "'";
  if (std::system(command.c_str()) != 0) std::abort();
}

// A staging folder of `count` photos.
std::string Stage(const std::string& root, int count) {
  std::string stage = root + "/stage";
  kalvex::platform::ForceDirectories(stage);
  std::mt19937 gen(7);
  for (int i = 0; i < count; ++i) {
    std::string bytes(32768, 'J');
    for (int j = 0; j < 32768; ++j) bytes.push_back(static_cast<char>(gen() & 0xFF));
    kalvex::platform::WriteFileAtomically(stage + "/4711_" + std::to_string(i) + ".jpg", bytes);
  }
  return stage;
}

void BM_AddStagingFolder(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string root = MakeFolder();
  std::string stage = Stage(root, count);
  NullFrontEnd ui;
  for (auto _ : state) {
    state.PauseTiming();
    std::string archive = root + "/4711.zip";
    kalvex::platform::RemoveFile(archive);
    TZip zip(ui);
    zip.SetZipFileName(archive);
    zip.FilesToAdd().push_back(stage + "\\*.*");
    state.ResumeTiming();
    benchmark::DoNotOptimize(zip.Add());
  }
  state.SetBytesProcessed(state.iterations() * count * 65536);
  RemoveFolder(root);
}
BENCHMARK(BM_AddStagingFolder)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_ReadDirectory(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string root = MakeFolder();
  std::string stage = root + "/stage";
  kalvex::platform::ForceDirectories(stage);
  for (int i = 0; i < count; ++i) {
    kalvex::platform::WriteFileAtomically(stage + "/" + std::to_string(i) + ".txt", "x");
  }
  NullFrontEnd ui;
  std::string archive = root + "/many.zip";
  {
    TZip zip(ui);
    zip.SetZipFileName(archive);
    zip.FilesToAdd().push_back(stage + "/*.txt");
    zip.Add();
  }
  for (auto _ : state) {
    TZip zip(ui);
    zip.SetZipFileName(archive);
    benchmark::DoNotOptimize(zip.Count());
  }
  state.SetItemsProcessed(state.iterations() * count);
  RemoveFolder(root);
}
BENCHMARK(BM_ReadDirectory)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
