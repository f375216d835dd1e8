#pragma once
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "base/Form.h"

class QTabWidget;

namespace tevrano::host {

// An image of the form: paints its picture and hands the mouse to the
// control in the image's pixel coordinates.
class ImageWidget : public QWidget {
 public:
  ImageWidget(Image& image, std::function<void()> changed, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPoint Pixel(const QPointF& position) const;
  Image& image_;
  std::function<void()> changed_;
};

// The form in a window: a real widget for every component, at its place and
// in creation order (later ones on top), kept in step with the model by
// Sync() and feeding the user's input back to the components' handlers.
// The speed-dome pad is a window of its own, shown while its form is visible.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(TTevranoX& form);
  ~FormWindow() override;
  // Brings every widget whose component changed (its revision moved) up to date.
  void Sync();

 protected:
  // The area no component covers, in the interface's background colour.
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Binding {
    Component* component = nullptr;
    QWidget* widget = nullptr;
    QWidget* label = nullptr;  // a labelled edit's caption
    uint32_t revision = 0;
    bool applied = false;
  };
  void CreateWidgets();
  QWidget* CreateWidget(Binding& binding, QWidget* parent);
  void Apply(Binding& binding);
  void SyncSpeedDome();

  TTevranoX& form_;
  std::vector<Binding> bindings_;
  size_t known_ = 0;                            // components that have widgets
  std::map<const Component*, QWidget*> pages_;  // tab sheet → page widget
  QTabWidget* tabs_ = nullptr;
  std::unique_ptr<QWidget> speedDome_;
  uint32_t speedDomeRevision_ = ~0u, image5Revision_ = ~0u;
  bool syncing_ = false;
  uint32_t background_ = 0;  // the colour last painted behind the components
};

}  // namespace tevrano::host
