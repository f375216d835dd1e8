#include "host/EventListWindow.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/RecorderTime.h"

namespace tevrano::host {

std::vector<EventListRow> EventListRows(const std::vector<TevranoEventItem>& events) {
  std::vector<const TevranoEventItem*> items;
  items.reserve(events.size());
  for (const TevranoEventItem& e : events) items.push_back(&e);
  std::stable_sort(items.begin(), items.end(),
                   [](const auto* a, const auto* b) { return a->time > b->time; });
  std::vector<EventListRow> rows;
  rows.reserve(items.size());
  for (const TevranoEventItem* e : items) {
    char time[32];
    ui::FormatRecorderTime(e->time, 0, time, sizeof time);
    rows.push_back({time, "CH" + std::to_string(e->channel), e->kind});
  }
  return rows;
}

EventListWindow::EventListWindow(std::function<std::vector<TevranoEventItem>()> status,
                                 QWidget* parent)
    : QWidget(parent, Qt::Tool), status_(std::move(status)) {
  setWindowTitle("Events");
  resize(320, 360);
  list_ = new QTreeWidget(this);
  list_->setColumnCount(3);
  list_->setHeaderLabels({"Time", "Camera", "Event"});
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
}

void EventListWindow::Refresh() {
  if (!status_) return;
  const std::vector<EventListRow> rows = EventListRows(status_());
  list_->clear();
  for (const EventListRow& r : rows) {
    list_->addTopLevelItem(
        new QTreeWidgetItem({QString::fromStdString(r[0]), QString::fromStdString(r[1]),
                             QString::fromStdString(r[2])}));
  }
}

int EventListWindow::RowCount() const {
  return list_->topLevelItemCount();
}

void EventListWindow::showEvent(QShowEvent* event) {
  Refresh();
  timer_.start();
  QWidget::showEvent(event);
}

void EventListWindow::hideEvent(QHideEvent* event) {
  timer_.stop();
  QWidget::hideEvent(event);
}

}  // namespace tevrano::host
