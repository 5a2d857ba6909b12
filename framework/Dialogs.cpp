#include "framework/Dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

#include "framework/Latin1.h"

namespace tempolog {

namespace {

IDialogs*& Current() {
  static IDialogs* current = nullptr;
  return current;
}

// Boxes and dialogs belong to the window the operator works in.
QWidget* DialogParent() { return QApplication::activeWindow(); }

// A message box sizes itself to its text; a short text ("No data !") would
// leave too little room for the caption in the title bar. The box is made at
// least as wide as the caption in a bold title font plus room for the title
// bar's icon and buttons (about two font heights each).
void MakeRoomForCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  QFont titleFont = box.font();
  titleFont.setBold(true);
  const QFontMetrics metrics(titleFont);
  const int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

void ShowBox(QMessageBox::Icon icon, const std::string& text, const std::string& caption,
             bool centreOnScreen) {
  QMessageBox box(icon, ToScreen(caption), ToScreen(text), QMessageBox::Ok, DialogParent());
  box.setTextFormat(Qt::PlainText);
  MakeRoomForCaption(box);
  if (centreOnScreen) {
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      box.move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, box.size(),
                                   screen->availableGeometry())
                   .topLeft());
    }
  }
  box.exec();
}

std::optional<std::string> ChosenPath(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

IDialogs& Dialogs() {
  static TQtDialogs qtDialogs;
  IDialogs* current = Current();
  return current != nullptr ? *current : qtDialogs;
}

void SetDialogs(IDialogs* dialogs) { Current() = dialogs; }

void TQtDialogs::ShowError(const std::string& text, const std::string& caption) {
  ShowBox(QMessageBox::Critical, text, caption, false);
}

void TQtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  ShowBox(QMessageBox::NoIcon, text, caption, true);
}

std::optional<std::string> TQtDialogs::ChooseOpenFile() {
  // A name that does not exist may be confirmed; opening it then reports the error.
  QFileDialog dialog(DialogParent());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ChosenPath(dialog.selectedFiles().constFirst());
}

std::optional<std::string> TQtDialogs::ChooseSaveFile() {
  QFileDialog dialog(DialogParent());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ChosenPath(dialog.selectedFiles().constFirst());
}

}  // namespace tempolog
