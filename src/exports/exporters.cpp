#include "exports/exporters.h"

#include "exports/auto_scout24_export.h"
#include "exports/classifieds_export.h"
#include "exports/paru_vendu_export.h"
#include "exports/sit_auto_pro_export.h"
#include "exports/top_annonces_export.h"

namespace kalvex {

namespace {

constexpr PortalExporter kExporters[] = {
    {{"PARUVENDU", "ParuVendu"}, ExportParuVendu},
    {{"AUTOSCOUT24", "AutoScout24"}, ExportAutoScout24},
    {{"SITAUTOPRO", "SitAutoPro"}, ExportSitAutoPro},
    {{"TOPANNONCES", "TopAnnonces"}, ExportTopAnnonces},
    {{"LEBONCOIN", "LeBonCoin"}, ExportClassifieds},
    {{"INFOPRESS", "InfoPress"}, ExportClassifieds},
};

}  // namespace

std::span<const PortalExporter> Exporters() { return kExporters; }

void RegisterExporters(RunDriver& driver, const ExportServices& services) {
  for (const PortalExporter& exporter : Exporters()) {
    driver.SetExporter(std::string(exporter.portal.code),
                       [&exporter, services](RunContext& context) {
                         ExportRun run(context, exporter.portal, services);
                         exporter.body(run);
                       });
  }
}

}  // namespace kalvex
