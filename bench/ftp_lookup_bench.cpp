// Looking a photo up in the image-server listing: the cost per photo may grow only with
// the logarithm of the size of the listing.
#include <benchmark/benchmark.h>

#include <string>

#include "exports/ftp_link.h"
#include "exports/photo_sync.h"
#include "runcontrol/clock.h"

namespace {

void BM_ImageOnServerLookup(benchmark::State& bench) {
  kalvex::RunState state;
  kalvex::WindowModel window;
  kalvex::SystemClock clock;
  kalvex::RunLog log(state, window, clock);
  kalvex::RunContext context{state, window, log, clock};
  kalvex::FtpLink link(context);
  kalvex::FtpTransfer& ftp = link.transfer();
  ftp.SetImageServerCheck(true);
  const int64_t size = bench.range(0);
  std::string text;
  for (int64_t i = 0; i < size; ++i) text += "VO" + std::to_string(i) + "_PHOTO.JPG\r\n";
  ftp.SetImageServerListing(kalvex::NameListing::FromLines(text));
  int64_t i = 0;
  for (auto _ : bench) {
    // Half present, half missing, in lower case as the exporters pass them.
    bool found = ftp.ImageOnServer("vo" + std::to_string(i % (2 * size)) + "_photo.jpg");
    benchmark::DoNotOptimize(found);
    ++i;
  }
}
BENCHMARK(BM_ImageOnServerLookup)->Arg(1000)->Arg(100000);

void BM_ThumbnailName(benchmark::State& bench) {
  const std::string path = "C:\\projects\\relmo\\images\\VO123456_01.JPG";
  for (auto _ : bench) benchmark::DoNotOptimize(kalvex::ThumbnailName(path));
}
BENCHMARK(BM_ThumbnailName);

}  // namespace

BENCHMARK_MAIN();
