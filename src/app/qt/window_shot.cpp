// kalvex_window_shot OUT.png [--ini-folder DIR] [PORTAL]: starts the status window the
// way the program does (creation handler with the portal, then shown), on Qt's
// offscreen platform unless another is chosen, and draws it into OUT.png. Message
// boxes go to standard error instead of waiting for a click. For the documentation:
// docs/window.png is this tool's picture of a ParuVendu run against the loopback FTP
// server and sample stock that scripts/demo sets up, with Windir and --ini-folder
// pointing at that setup.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/qt/form1.h"
#include "app/qt/qt_front_end.h"

namespace {

class ShotFrontEnd : public kalvex::QtFrontEnd {
 public:
  using QtFrontEnd::QtFrontEnd;
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// The offscreen platform draws no window frame: put a plain caption bar above the
// window's content so that the picture shows the caption too.
QImage WithCaption(QWidget& form) {
  const QPixmap content = form.grab();
  constexpr int kBar = 24;
  QImage image(content.width(), content.height() + kBar, QImage::Format_RGB32);
  image.fill(QColor(0x3A, 0x6E, 0xA5));
  QPainter painter(&image);
  QFont font = form.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(8, 0, content.width() - 16, kBar), Qt::AlignVCenter | Qt::AlignLeft,
                   form.windowTitle());
  painter.drawPixmap(0, kBar, content);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Usage : kalvex_window_shot IMAGE.png [--ini-folder DOSSIER] [PORTAIL]\n");
    return 2;
  }
  const std::string out = argv[1];
  std::string ini_folder;
  std::vector<std::string> portal_args;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--ini-folder") == 0 && i + 1 < argc) {
      ini_folder = argv[++i];
      if (!ini_folder.empty() && ini_folder.back() != '/') ini_folder += '/';
    } else {
      portal_args.emplace_back(argv[i]);
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication qt(qt_argc, argv);
  QApplication::setApplicationName("Kalvex");

  kalvex::Application app;
  if (!ini_folder.empty()) app.Driver().SetIniFolder(ini_folder);
  ShotFrontEnd ui(app);
  ui.Start(portal_args);
  QCoreApplication::processEvents();
  if (!WithCaption(ui.Form()).save(QString::fromStdString(out), "PNG")) {
    std::fprintf(stderr, "Impossible d'écrire %s\n", out.c_str());
    return 1;
  }
  return 0;
}
