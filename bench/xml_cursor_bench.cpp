// Speed of the cursor on a vehicle document of a dealer's size: walking the records
// while rewriting a field, removing records, serialising and saving.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "xml/xml_cursor.h"

namespace {

std::string VehicleDocument(int vehicles) {
  std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><document><DataVOS>";
  for (int i = 0; i < vehicles; ++i)
    text += "<DataVO><id>" + std::to_string(i) +
            "</id><Marque>RENAULT</Marque><Modele>RENAULT CLIO</Modele><Prix>12500</Prix>"
            "<Options>ABS;CLIM;GPS;</Options><Descriptif>V\xC3\xA9hicule en tr\xC3\xA8s bon "
            "\xC3\xA9tat, 5 portes \xE2\x82\xAC</Descriptif></DataVO>";
  return text + "</DataVOS></document>";
}

void BM_WalkAndRewriteField(benchmark::State& state) {
  const std::string text = VehicleDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    kalvex::XMLCursorPtr doc = kalvex::CreateXMLCursor();
    doc->LoadXML(text);
    kalvex::XMLCursorPtr records = doc->Select("/document/DataVOS/DataVO");
    for (; !records->Eof(); records->Next())
      records->SetValue("Modele", records->GetValue("Modele").substr(8));
    benchmark::DoNotOptimize(records->Index());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WalkAndRewriteField)->Arg(100)->Arg(1000)->Arg(5000);

void BM_DeleteEveryRecord(benchmark::State& state) {
  const std::string text = VehicleDocument(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    kalvex::XMLCursorPtr doc = kalvex::CreateXMLCursor();
    doc->LoadXML(text);
    kalvex::XMLCursorPtr records = doc->Select("/document/DataVOS/DataVO");
    while (!records->Eof()) records->Delete();
    benchmark::DoNotOptimize(records->Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DeleteEveryRecord)->Arg(100)->Arg(1000)->Arg(5000);

void BM_XMLAndReload(benchmark::State& state) {
  kalvex::XMLCursorPtr doc = kalvex::CreateXMLCursor();
  doc->LoadXML(VehicleDocument(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    std::string text = doc->XML();
    kalvex::XMLCursorPtr again = kalvex::CreateXMLCursor();
    again->LoadXML(text);
    benchmark::DoNotOptimize(again->Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_XMLAndReload)->Arg(1000);

void BM_SaveIso885915(benchmark::State& state) {
  kalvex::XMLCursorPtr doc = kalvex::CreateXMLCursor();
  doc->LoadXML(VehicleDocument(static_cast<int>(state.range(0))));
  const std::string name =
      (std::filesystem::temp_directory_path() / "kalvex_xml_cursor_bench.xml").string();
  for (auto _ : state) doc->Save(name);
  std::filesystem::remove(name);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveIso885915)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
