#include "app/qt/form1.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <memory>

#include "app/app_texts.h"
#include "platform/platform.h"
#include "platform/version_info.h"

namespace kalvex {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

size_t Slot(WindowField field) { return static_cast<size_t>(field); }

}  // namespace

TForm1::TForm1(Application& app, QWidget* parent)
    : QWidget(parent), app_(app), executable_path_(platform::ExecutablePath()) {
  setObjectName("Form1");
  move(198, 107);
  resize(515, 512);
  QFont font("MS Sans Serif");
  font.setPointSize(8);
  setFont(font);
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  group_box1_ = new QGroupBox(this);
  group_box1_->setObjectName("GroupBox1");
  group_box1_->setGeometry(8, 0, 241, 201);
  MakeLabel(group_box1_, "Label3", "Serveur FTP :", 8, 24);
  MakeLabel(group_box1_, "Label4", "Utilisateur :", 8, 64);
  MakeLabel(group_box1_, "Label5", "Mot de passe : ", 8, 104);
  MakeLabel(group_box1_, "Label6", "Répertoire : ", 8, 150);
  MakeEdit(group_box1_, "paramServeurPixtrove", WindowField::kParamServeurPixtrove, 8, 40, false);
  MakeEdit(group_box1_, "paramUserPixtrove", WindowField::kParamUserPixtrove, 8, 80, false);
  MakeEdit(group_box1_, "paramPasswordPixtrove", WindowField::kParamPasswordPixtrove, 8, 120, true);
  MakeEdit(group_box1_, "paramRepertPixtrove", WindowField::kParamRepertPixtrove, 8, 164, false);

  box_server_ = new QGroupBox(this);
  box_server_->setObjectName("BoxServer");
  box_server_->setGeometry(256, 0, 241, 201);
  MakeLabel(box_server_, "lbServer", "Serveur FTP :", 8, 24);
  MakeLabel(box_server_, "LbUser", "Utilisateur :", 8, 64);
  MakeLabel(box_server_, "LbPassword", "Mot de passe : ", 8, 104);
  MakeLabel(box_server_, "Label7", "Répertoire :", 8, 152);
  MakeEdit(box_server_, "paramServeur", WindowField::kParamServeur, 8, 40, false);
  MakeEdit(box_server_, "paramUser", WindowField::kParamUser, 8, 80, false);
  MakeEdit(box_server_, "paramPassword", WindowField::kParamPassword, 8, 120, true);
  MakeEdit(box_server_, "paramRepert", WindowField::kParamRepert, 8, 168, false);

  // The progress labels run to the window's right edge, whatever their text, so that a
  // new text never changes the layout; the buttons, made later, stay above them.
  label1_ = MakeLabel(this, "Label1", "Label1", 16, 232);
  label2_ = MakeLabel(this, "Label2", "Label2", 16, 264);
  for (QLabel* label : {label1_, label2_})
    label->setGeometry(label->x(), label->y(), width() - label->x() - 8, label->height());

  cb_export_ = new QComboBox(this);
  cb_export_->setObjectName("CBExport");
  cb_export_->setGeometry(320, 208, 177, 21);
  cb_export_->setEditable(true);
  cb_export_->setInsertPolicy(QComboBox::NoInsert);
  cb_export_->addItems(
      {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"});
  cb_export_->setCurrentIndex(-1);
  cb_export_->setEditText(QString());
  connect(cb_export_, &QComboBox::editTextChanged, this, [this](const QString& text) {
    app_.Window().SetText(WindowField::kCBExport, text.toStdString());
  });

  button1_ = new QPushButton("Démarrer", this);
  button1_->setObjectName("Button1");
  button1_->setGeometry(320, 240, 177, 49);
  connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });

  button2_ = new QPushButton("Version", this);
  button2_->setObjectName("Button2");
  button2_->setGeometry(256, 240, 57, 49);
  connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });

  auto* box_memo = new QGroupBox("Etat : ", this);
  box_memo->setObjectName("BoxMemo");
  box_memo->setGeometry(8, 296, 489, 177);
  memo_ = new QPlainTextEdit(box_memo);
  memo_->setObjectName("Memo");
  memo_->setGeometry(8, 16, 473, 153);
  memo_->setReadOnly(true);
  memo_->setUndoRedoEnabled(false);
  copy_line_ = new QAction(app_text::kCopyMemoLine, memo_);
  copy_line_->setObjectName("CopyMemoLine");
  connect(copy_line_, &QAction::triggered, this, [this] { CopyMemoLine(); });
  copy_all_ = new QAction(app_text::kCopyMemo, memo_);
  copy_all_->setObjectName("CopyMemo");
  connect(copy_all_, &QAction::triggered, this, [this] { CopyMemo(); });
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(memo_, &QPlainTextEdit::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowMemoMenu(position); });

  label_timer_ = new QTimer(this);
  label_timer_->setObjectName("ProgressTimer");
  label_timer_->setSingleShot(true);
  connect(label_timer_, &QTimer::timeout, this, [this] { ShowProgress(); });

  Render();
  app_.Window().SetObserver(this);

  // The timer ticks from the window's creation on.
  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(1000);
  connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
  timer1_->start();
}

TForm1::~TForm1() { app_.Window().SetObserver(nullptr); }

QLabel* TForm1::MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLineEdit* TForm1::MakeEdit(QWidget* parent, const char* name, WindowField field, int left, int top,
                            bool password) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(left, top, 225, 21);
  if (password) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet("lineedit-password-character: 42");  // '*'
  }
  // What the user types is what the FTP sessions use.
  connect(edit, &QLineEdit::textEdited, this,
          [this, field](const QString& text) { app_.Window().SetText(field, text.toStdString()); });
  edits_[Slot(field)] = edit;
  return edit;
}

// Shows every model value; afterwards the observer calls keep the widgets current.
void TForm1::Render() {
  const WindowModel& model = app_.Window();
  for (size_t i = 0; i < Slot(WindowField::kCount); ++i) {
    const auto field = static_cast<WindowField>(i);
    if (field != WindowField::kCBExport) TextChanged(field, model.Text(field));
  }
  if (cb_export_->currentText() != Q(model.Text(WindowField::kCBExport)))
    cb_export_->setEditText(Q(model.Text(WindowField::kCBExport)));
  MemoCleared();
  ShowMemoLines();
  ControlsVisibilityChanged(model.ManualStartVisible());
}

void TForm1::TextChanged(WindowField field, const std::string& text) {
  // The labels change for every photo: they read the model when they are shown.
  if (field == WindowField::kLabel1 || field == WindowField::kLabel2) {
    labels_pending_ = true;
    ShowProgressSoon();
    return;
  }
  const QString value = Q(text);
  switch (field) {
    case WindowField::kCaption:
      setWindowTitle(value);
      break;
    case WindowField::kGroupBox1:
      group_box1_->setTitle(value);
      break;
    case WindowField::kBoxServer:
      box_server_->setTitle(value);
      break;
    case WindowField::kCBExport:
      if (cb_export_->currentText() != value) cb_export_->setEditText(value);
      break;
    case WindowField::kCount:
      break;
    default:
      if (QLineEdit* edit = edits_[Slot(field)]; edit && edit->text() != value)
        edit->setText(value);
      break;
  }
}

void TForm1::ShowProgressSoon() {
  if (!isVisible()) return;  // shown with the window
  const qint64 since = progress_shown_.isValid() ? progress_shown_.elapsed() : kLabelInterval;
  if (since >= kLabelInterval)
    ShowProgress();
  else if (!label_timer_->isActive())
    label_timer_->start(static_cast<int>(kLabelInterval - since));
}

void TForm1::ShowProgress() {
  label_timer_->stop();
  ShowLabels();
  ShowMemoLines();
  progress_shown_.start();
}

void TForm1::ShowLabels() {
  if (!labels_pending_) return;
  labels_pending_ = false;
  const WindowModel& model = app_.Window();
  for (auto [label, field] :
       {std::pair{label1_, WindowField::kLabel1}, std::pair{label2_, WindowField::kLabel2}}) {
    const QString value = Q(model.Text(field));
    if (label->text() != value) label->setText(value);
  }
}

void TForm1::MemoLineAdded(const std::string& /*line*/) { ShowProgressSoon(); }

void TForm1::ShowMemoLines() {
  const std::vector<std::string>& lines = app_.Window().MemoLines();
  if (memo_lines_shown_ == lines.size()) return;
  // The new lines go in as one edit at the end; the view follows them when it showed
  // the end before.
  QScrollBar* bar = memo_->verticalScrollBar();
  const bool follow = bar->value() == bar->maximum();
  QTextCursor end(memo_->document());
  end.movePosition(QTextCursor::End);
  end.beginEditBlock();
  for (; memo_lines_shown_ < lines.size(); ++memo_lines_shown_) {
    if (memo_lines_shown_ > 0) end.insertBlock();
    end.insertText(Q(MemoDisplayText(lines[memo_lines_shown_], kMemoLineLimit)));
    memo_last_blocks_.push_back(end.blockNumber());
  }
  end.endEditBlock();
  if (follow) bar->setValue(bar->maximum());
}

void TForm1::MemoCleared() {
  memo_->clear();
  memo_lines_shown_ = 0;
  memo_last_blocks_.clear();
}

void TForm1::showEvent(QShowEvent* event) {
  ShowProgress();
  QWidget::showEvent(event);
}

void TForm1::CopyMemoLine() {
  ShowMemoLines();
  const int block = memo_->textCursor().blockNumber();
  auto at = std::lower_bound(memo_last_blocks_.begin(), memo_last_blocks_.end(), block);
  if (at == memo_last_blocks_.end()) return;
  const std::vector<std::string>& lines = app_.Window().MemoLines();
  QGuiApplication::clipboard()->setText(
      Q(lines[static_cast<size_t>(at - memo_last_blocks_.begin())]));
}

void TForm1::CopyMemo() {
  std::string all;
  for (const std::string& line : app_.Window().MemoLines()) {
    if (!all.empty()) all += '\n';
    all += line;
  }
  QGuiApplication::clipboard()->setText(Q(all));
}

std::unique_ptr<QMenu> TForm1::MemoMenu(const QPoint& position) {
  std::unique_ptr<QMenu> menu(memo_->createStandardContextMenu(position));
  for (QAction* action : menu->actions())
    for (const app_text::StandardAction& standard : app_text::kStandardActions)
      if (action->objectName() == QLatin1String(standard.object_name))
        action->setText(QString::fromUtf8(standard.text));
  menu->addSeparator();
  menu->addAction(copy_line_);
  menu->addAction(copy_all_);
  return menu;
}

void TForm1::ShowMemoMenu(const QPoint& position) {
  // The line under the pointer is the one copied, unless text is selected.
  if (!memo_->textCursor().hasSelection()) memo_->setTextCursor(memo_->cursorForPosition(position));
  MemoMenu(position)->exec(memo_->viewport()->mapToGlobal(position));
}

void TForm1::ControlsVisibilityChanged(bool visible) {
  button1_->setVisible(visible);
  cb_export_->setVisible(visible);
}

// The application's standard error report: the error's text in a message box.
template <typename Handler>
void TForm1::Guarded(Handler handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    app_.Window().Ui().ShowMessage(e.what());
  }
}

void TForm1::FormCreate(const std::vector<std::string>& args) {
  Guarded([&] { app_.Driver().FormCreate(args); });
}

void TForm1::Button1Click() {
  Guarded([&] { app_.Driver().Button1Click(); });
}

void TForm1::Button2Click() {
  Guarded([&] {
    app_.Window().ClearMemo();
    std::vector<std::string> lines;
    ReadVersionInfo(executable_path_, lines);
    for (const std::string& line : lines) app_.Window().AddMemoLine(line);
  });
}

void TForm1::Timer1Timer() {
  Guarded([&] { app_.Window().Timer1Timer(); });
}

}  // namespace kalvex
