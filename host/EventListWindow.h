#pragma once
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "control/ScriptingView.h"

class QTreeWidget;

namespace tevrano::host {

// One line of the event list: time, camera, kind as shown.
using EventListRow = std::array<std::string, 3>;

// The rows of the event list, newest first over all cameras (equal times
// keep camera order).
std::vector<EventListRow> EventListRows(const std::vector<TevranoEventItem>& events);

// A small window listing the recorder's recent events (the last 32 of
// each camera): time, camera, kind. The user opens it from the main window
// (Ctrl+E); while shown it follows the control once a second.
class EventListWindow : public QWidget {
 public:
  explicit EventListWindow(std::function<std::vector<TevranoEventItem>()> status,
                           QWidget* parent = nullptr);
  // Fills the list from the control's state now.
  void Refresh();
  int RowCount() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  std::function<std::vector<TevranoEventItem>()> status_;
  QTreeWidget* list_ = nullptr;
  QTimer timer_;
};

}  // namespace tevrano::host
