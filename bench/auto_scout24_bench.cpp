// The AutoScout24 export over stocks of 2,000 and 20,000 vehicles with ten photos each,
// FTP aside (the image-server check is off and no portal drop is reached): the vehicle
// file, the photos staged from the photo folder, the document's copy and the archive of
// 20,000 or 200,000 files. The photo links are read once, photos are copied by the
// kernel and the archive's lookups are hashed, so the time per vehicle should stay flat
// and the second run take about ten times the first.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "exports/auto_scout24_export.h"
#include "exports/ftp_link.h"
#include "exports/photo_sync.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The fields of every vehicle but its number.
constexpr char kVehicleFields[] =
    "<IMarque>Peugeot</IMarque><IModele>308</IModele><IVersion>308 1.6 BlueHDi 120 Allure"
    "</IVersion><TypeBoiteVitesse>Manuelle</TypeBoiteVitesse><TypeCarrosserie>Berline"
    "</TypeCarrosserie><Couleur>Gris métallisé</Couleur><Energie>Diesel</Energie>"
    "<MoisMEC>3</MoisMEC><AnneeMEC>2019</AnneeMEC><Kilometrage>48500</Kilometrage>"
    "<PrixDuBien>12990</PrixDuBien><NombreDePortes>5 portes</NombreDePortes>"
    "<NbPlaces>5</NbPlaces><Puissance>6</Puissance><Garantie>12 mois</Garantie>"
    "<NChassis>VF3LCYHZPKS123456</NChassis><Immatriculation>FG-123-HJ</Immatriculation>"
    "<InfoEquiInterieur>;Clim;VitreElec;RadCD;OrdiBord;RegVit;</InfoEquiInterieur>"
    "<InfoEquiExterieur>;JantAll;PMat;Radrecul;</InfoEquiExterieur>"
    "<InfoEquiSecurite>;ABS;ESP;AirbagCond;AirbagPass;</InfoEquiSecurite>";

// Vehicles 1 to `vehicles`, each with ten photo links to photo0 ... photo9.
std::string Document(int vehicles) {
  std::string records;
  std::string links;
  for (int v = 1; v <= vehicles; ++v) {
    const std::string id = "<idNVO>" + std::to_string(v) + "</idNVO>";
    records += "<DataVO>" + id + kVehicleFields + "</DataVO>";
    for (char p = '0'; p <= '9'; ++p)
      links += "<LiensImages>" + id + "<NomImage>photo" + p + "</NomImage></LiensImages>";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document><DataVOS>" + records +
         "</DataVOS><LiensImagesS>" + links + "</LiensImagesS></document>";
}

void BM_ExportAutoScout24(benchmark::State& state) {
  const int vehicles = static_cast<int>(state.range(0));
  // In the system's temporary folder: TMPDIR=/dev/shm takes the disk out of the figures.
  std::string root = std::filesystem::temp_directory_path().string() + "/kalvex-as24-bench-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  ::setenv("Windir", root.c_str(), 1);
  std::filesystem::create_directories(root + "/TEMP/Kalvex");
  std::filesystem::create_directories(root + "/photos");
  // Ten photos of 2 KiB and their thumbnails, which every vehicle links to.
  std::mt19937 random(24);
  for (int p = 0; p < 10; ++p) {
    for (const char* suffix : {".jpg", "m.jpg"}) {
      std::string bytes(2048, '\0');
      for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
      WriteBytes(root + "/photos/photo" + std::to_string(p) + suffix, bytes);
    }
  }
  WriteBytes(root + "/TEMP/Kalvex/ExpDatasAutoScout24.xml", Document(vehicles));
  WriteBytes(root + "/Kalvex.ini", "[AUTOSCOUT24]\nServeurFTP=127.0.0.1:9\nidClient=4455667788\n");

  kalvex::SystemClock clock;
  kalvex::RunState run;
  kalvex::WindowModel window;
  kalvex::RunLog log(run, window, clock);
  // Photos are staged through the FTP photo service with the check off, so no server
  // is asked; the export has no portal upload, so nothing is sent.
  kalvex::RunContext context{run, window, log, clock};
  kalvex::FtpLink link(context);
  kalvex::FtpPhotoService photos(context, link.transfer());
  run.selected_portal = "AUTOSCOUT24";
  run.photo_folder = root + "/photos";
  run.config = std::make_shared<kalvex::IniFile>(root + "/Kalvex.ini");
  log.WriteLog("");
  for (auto _ : state) {
    kalvex::ExportRun export_run(context, {"AUTOSCOUT24", "AutoScout24"}, {&photos});
    kalvex::ExportAutoScout24(export_run);
    state.PauseTiming();
    window.ClearMemo();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * vehicles);
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_ExportAutoScout24)
    ->Arg(2000)
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
