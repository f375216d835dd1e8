#include "host/QtHostServices.h"
#include "host/FormText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QImage>
#include <QMessageBox>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/QtTextSurface.h"

namespace tevrano::host {

namespace {
QString Q(std::string_view s) {
  return FormText(s);
}
QWidget* ActiveWindow() {
  return QApplication::activeWindow();
}
}  // namespace

int QtHostServices::MessageBox(std::string_view text, std::string_view caption, int flags) {
  const int answer = Ask(text, caption, flags);
  const char* name = answer == platform::kIdCancel ? "cancel"
                     : answer == platform::kIdYes  ? "yes"
                     : answer == platform::kIdNo   ? "no"
                                                   : "ok";
  messages_.push_back({std::string(caption), std::string(text), name});
  return answer;
}

int QtHostServices::Ask(std::string_view text, std::string_view caption, int flags) {
  const int buttons = flags & 0x0F;
  if (headless_) {
    std::fprintf(stderr, "tevrano-viewer: message box \"%.*s\": %.*s\n",
                 static_cast<int>(caption.size()), caption.data(), static_cast<int>(text.size()),
                 text.data());
    const int fallback = buttons == platform::kMbYesNo ? platform::kIdYes : platform::kIdOk;
    if (answers_.empty()) return fallback;
    const int queued = answers_.front();
    answers_.pop_front();
    const bool offered = buttons == platform::kMbYesNo
                             ? queued == platform::kIdYes || queued == platform::kIdNo
                         : buttons == platform::kMbOkCancel
                             ? queued == platform::kIdOk || queued == platform::kIdCancel
                             : queued == platform::kIdOk;
    return offered ? queued : fallback;
  }
  QMessageBox box(QMessageBox::NoIcon, Q(caption), Q(text), QMessageBox::NoButton, ActiveWindow());
  if (flags & platform::kMbIconInformation) box.setIcon(QMessageBox::Information);
  switch (buttons) {
    case platform::kMbOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case platform::kMbYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return platform::kIdCancel;
    case QMessageBox::Yes:
      return platform::kIdYes;
    case QMessageBox::No:
      return platform::kIdNo;
    case QMessageBox::Ok:
      return platform::kIdOk;
    default:  // closed with Escape or the window's close button
      return buttons == platform::kMbYesNo      ? platform::kIdNo
             : buttons == platform::kMbOkCancel ? platform::kIdCancel
                                                : platform::kIdOk;
  }
}

std::string QtHostServices::QtFilter(std::string_view filter) {
  // Pairs of "description|patterns" with patterns separated by ';'. Qt takes
  // "description (patterns)" with blanks between patterns, pairs joined by ";;".
  std::vector<std::string_view> fields;
  for (size_t pos = 0;;) {
    size_t bar = filter.find('|', pos);
    fields.push_back(filter.substr(pos, bar == std::string_view::npos ? bar : bar - pos));
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  std::string out;
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    std::string patterns(fields[i + 1]);
    std::replace(patterns.begin(), patterns.end(), ';', ' ');
    if (!out.empty()) out += ";;";
    // A description that already shows its patterns is kept as it is.
    out += fields[i].find('(') != std::string_view::npos
               ? std::string(fields[i])
               : std::string(fields[i]) + " (" + patterns + ")";
  }
  return out;
}

std::optional<std::string> QtHostServices::OpenFileDialog(std::string_view filter,
                                                          std::string_view initialDir) {
  if (!openPaths_.empty()) {
    std::string path = std::move(openPaths_.front());
    openPaths_.pop_front();
    std::fprintf(stderr, "tevrano-viewer: open dialog: %s\n", path.c_str());
    return path;
  }
  if (headless_) return std::nullopt;
  QString file =
      QFileDialog::getOpenFileName(ActiveWindow(), QString(), Q(initialDir), Q(QtFilter(filter)));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

std::optional<std::string> QtHostServices::SaveFileDialog(std::string_view filter,
                                                          std::string_view initialDir,
                                                          std::string_view fileName) {
  if (!savePaths_.empty()) {
    std::string path = std::move(savePaths_.front());
    savePaths_.pop_front();
    std::fprintf(stderr, "tevrano-viewer: save dialog: %s\n", path.c_str());
    return path;
  }
  if (headless_) return std::nullopt;
  QString start = QDir(Q(initialDir)).filePath(Q(fileName));
  QString file =
      QFileDialog::getSaveFileName(ActiveWindow(), QString(), start, Q(QtFilter(filter)));
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}

bool QtHostServices::FontDialog(platform::FontSpec& font) {
  if (headless_) return false;
  bool ok = false;
  QFont chosen = QFontDialog::getFont(&ok, QtTextSurface::ToQFont(font), ActiveWindow());
  if (!ok) return false;
  font.name = chosen.family().toStdString();
  font.size = chosen.pointSize() > 0 ? chosen.pointSize() : font.size;
  font.style = (chosen.bold() ? platform::kFontBold : 0) |
               (chosen.italic() ? platform::kFontItalic : 0) |
               (chosen.underline() ? platform::kFontUnderline : 0) |
               (chosen.strikeOut() ? platform::kFontStrikeOut : 0);
  return true;
}

bool QtHostServices::SavePng(std::string_view path, const uint32_t* pixels, int width, int height,
                             int stride) {
  if (width <= 0 || height <= 0 || !pixels) return false;
  const QString file = Q(path);
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
  const QImage image(reinterpret_cast<const uchar*>(pixels), width, height,
                     static_cast<qsizetype>(stride) * 4, QImage::Format_RGB32);
  return image.save(file, "PNG");
}

void QtHostServices::OpenFolderOrAddress(std::string_view target) {
  if (headless_) {
    std::fprintf(stderr, "tevrano-viewer: open %.*s\n", static_cast<int>(target.size()),
                 target.data());
    return;
  }
  // A folder opens in the file manager, anything else as an address; both go
  // through the desktop's handler (xdg-open), never through a shell.
  QString t = Q(target);
  QUrl url = QFileInfo(t).isDir() ? QUrl::fromLocalFile(t) : QUrl::fromUserInput(t);
  QDesktopServices::openUrl(url);
}

std::optional<std::string> QtEnvironment::Get(std::string_view name) const {
  QByteArray key(name.data(), static_cast<qsizetype>(name.size()));
  if (!qEnvironmentVariableIsSet(key.constData())) return std::nullopt;
  return qgetenv(key.constData()).toStdString();
}

std::string QtEnvironment::HomeDir() const {
  return QDir::homePath().toStdString();
}

}  // namespace tevrano::host
