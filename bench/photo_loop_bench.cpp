// The exporters' photo loop over stocks of 200 to 12,800 vehicles with three photo links
// each (synchronisation left out). Links find their vehicle through an index read once,
// so the time per link should stay flat as the stock grows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "exports/export_run.h"
#include "exports/photo_service.h"

namespace {

class NoPhotos : public kalvex::PhotoService {
 public:
  void Sync(const std::string&) override {}
  void Stage(const std::string&, int32_t, const std::string&, const std::string&) override {}
};

std::string Stock(int vehicles) {
  std::string text = "<?xml version=\"1.0\"?><document><DataVOS>";
  for (int v = 1; v <= vehicles; ++v)
    text += "<DataVO><idNVO>" + std::to_string(v) +
            "</idNVO><SousRubrique>Peugeot</SousRubrique><ModeleVersion>Peugeot 308 1.2 "
            "PureTech 130 Allure</ModeleVersion><EqutInterieur>;Clim;GPS;</EqutInterieur>"
            "<Texte>Très belle 308, 17 990 €</Texte><NomPhoto1></NomPhoto1><NomPhoto2>"
            "</NomPhoto2></DataVO>";
  text += "</DataVOS><LiensImagesS>";
  for (int v = 1; v <= vehicles; ++v)
    for (int p = 1; p <= 3; ++p)
      text += "<LiensImages><idNVO>" + std::to_string(v) + "</idNVO><NomImage>vo" +
              std::to_string(v) + "_" + std::to_string(p) + "</NomImage></LiensImages>";
  return text + "</LiensImagesS></document>";
}

void BM_PhotoLoop(benchmark::State& state) {
  const int vehicles = static_cast<int>(state.range(0));
  const std::string stock = Stock(vehicles);
  kalvex::SystemClock clock;
  kalvex::RunState run;
  kalvex::WindowModel window;
  kalvex::RunLog log(run, window, clock);
  NoPhotos photos;
  kalvex::RunContext context{run, window, log, clock};
  kalvex::ExportRun export_run(context, {"PARUVENDU", "ParuVendu"}, {&photos});
  run.image_base_url = "http://127.0.0.1/pixtrove";
  for (auto _ : state) {
    state.PauseTiming();
    kalvex::XMLCursorPtr document = kalvex::CreateXMLCursor();
    document->LoadXML(stock);
    window.ClearMemo();
    state.ResumeTiming();
    export_run.RunPhotoLoop(*document, kalvex::kVehicleKeyIdNVO, kalvex::kPhotoSlotsParuVendu);
  }
  state.SetItemsProcessed(state.iterations() * vehicles * 3);  // photo links
}
BENCHMARK(BM_PhotoLoop)->RangeMultiplier(4)->Range(200, 12800)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The loop writes one run-log line: keep it in a folder of its own.
  char folder[] = "/tmp/kalvex-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 1;
  ::setenv("Windir", folder, 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const std::string cleanup = std::string("rm -rf '") + folder + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
