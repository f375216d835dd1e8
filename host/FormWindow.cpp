#include "host/FormWindow.h"
#include "host/FormText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "host/FormRenderer.h"
#include "host/FormText.h"
#include "host/UserActions.h"

namespace tevrano::host {

namespace {
QString Q(const std::string& s) {
  return FormText(s);
}
QColor Rgb(uint32_t c) {
  return QColor::fromRgb(c | 0xFF000000u);
}
}  // namespace

ImageWidget::ImageWidget(Image& image, std::function<void()> changed, QWidget* parent)
    : QWidget(parent), image_(image), changed_(std::move(changed)) {
  setMouseTracking(true);  // moves without a button reach the control too
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageWidget::paintEvent(QPaintEvent*) {
  if (image_.picture.Empty()) return;
  QPainter p(this);
  QImage view = FormRenderer::View(image_.picture);
  if (image_.stretch)
    p.drawImage(rect(), view);
  else
    p.drawImage(QPoint(0, 0), view);
}

QPoint ImageWidget::Pixel(const QPointF& position) const {
  return QPoint(static_cast<int>(position.x()), static_cast<int>(position.y()));
}

void ImageWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPoint at = Pixel(event->position());
  UserActions::Press(image_, at.x(), at.y());
  changed_();
}

void ImageWidget::mouseMoveEvent(QMouseEvent* event) {
  QPoint at = Pixel(event->position());
  UserActions::Move(image_, at.x(), at.y());
  changed_();
}

void ImageWidget::leaveEvent(QEvent*) {
  UserActions::Leave(image_);
  changed_();
}

void ImageWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  QPoint at = Pixel(event->position());
  UserActions::Release(image_, at.x(), at.y(), rect().contains(at));
  changed_();
}

namespace {
// A label that hands its clicks to the component (some labels act as links).
class ClickableLabel : public QLabel {
 public:
  ClickableLabel(Component& component, std::function<void()> changed, QWidget* parent)
      : QLabel(parent), component_(component), changed_(std::move(changed)) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    UserActions::Click(component_);
    changed_();
  }

 private:
  Component& component_;
  std::function<void()> changed_;
};
}  // namespace

FormWindow::FormWindow(TTevranoX& form) : form_(form) {
  setWindowTitle(Q(form.Caption));
  setFixedSize(TTevranoX::kWidth, TTevranoX::kHeight);
  // The children's face stays the toolkit's; the form itself paints its
  // uncovered area (paintEvent).
  setAutoFillBackground(false);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Rgb(FormRenderer::kFormColor));
  setPalette(palette);
  background_ = FormRenderer::BackgroundColor(form);

  speedDome_ = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
  speedDome_->setWindowTitle("TSpeedDome");
  new ImageWidget(
      form.SpeedDome.Image5, [this] { Sync(); }, speedDome_.get());
  Sync();
}

FormWindow::~FormWindow() = default;

void FormWindow::Sync() {
  if (syncing_) return;
  syncing_ = true;
  CreateWidgets();
  for (Binding& b : bindings_) {
    if (b.applied && b.revision == b.component->revision) continue;
    Apply(b);
    b.applied = true;
    b.revision = b.component->revision;
  }
  SyncSpeedDome();
  if (const uint32_t background = FormRenderer::BackgroundColor(form_); background != background_) {
    background_ = background;
    update();
  }
  syncing_ = false;
}

void FormWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Rgb(background_));
}

void FormWindow::CreateWidgets() {
  const auto& components = form_.Components();
  for (; known_ < components.size(); ++known_) {
    Component* c = components[known_];
    if (c == &form_.SpeedDome.Image5) continue;
    Binding b;
    b.component = c;
    QWidget* parent = this;
    if (c->parent) {
      auto it = pages_.find(c->parent);
      if (it != pages_.end()) parent = it->second;
    }
    b.widget = CreateWidget(b, parent);
    if (!b.widget) continue;
    b.widget->show();
    bindings_.push_back(b);
  }
}

QWidget* FormWindow::CreateWidget(Binding& b, QWidget* parent) {
  Component& c = *b.component;
  auto changed = [this] { Sync(); };
  switch (c.kind) {
    case ComponentKind::Image: {
      auto* w = new ImageWidget(static_cast<Image&>(c), changed, parent);
      return w;
    }
    case ComponentKind::Label:
      return new QLabel(parent);
    case ComponentKind::PageControl: {
      auto& pc = static_cast<PageControl&>(c);
      tabs_ = new QTabWidget(parent);
      for (Component* sheet : pc.pages) {
        auto* page = new QWidget;
        page->setAutoFillBackground(true);
        tabs_->addTab(page, Q(sheet->caption));
        pages_[sheet] = page;
      }
      connect(tabs_, &QTabWidget::currentChanged, this, [this, &pc](int index) {
        if (syncing_) return;
        UserActions::SelectTab(pc, index);
        Sync();
      });
      return tabs_;
    }
    case ComponentKind::TabSheet: {
      auto it = pages_.find(&c);
      return it == pages_.end() ? nullptr : it->second;
    }
    case ComponentKind::LabeledEdit:
    case ComponentKind::Edit: {
      auto* w = new QLineEdit(parent);
      if (c.kind == ComponentKind::LabeledEdit) b.label = new QLabel(parent);
      connect(w, &QLineEdit::textEdited, this, [this, &c](const QString& text) {
        UserActions::SetText(c, text.toStdString());
        Sync();
      });
      if (b.label) b.label->show();
      return w;
    }
    case ComponentKind::Memo: {
      auto* w = new QPlainTextEdit(parent);
      connect(w, &QPlainTextEdit::textChanged, this, [this, w, &c] {
        if (syncing_) return;
        UserActions::SetText(c, w->toPlainText().toStdString());
        Sync();
      });
      return w;
    }
    case ComponentKind::ComboBox: {
      auto* w = new QComboBox(parent);
      connect(w, &QComboBox::activated, this, [this, &c](int index) {
        UserActions::Select(c, index);
        Sync();
      });
      return w;
    }
    case ComponentKind::CheckBox: {
      auto* w = new QCheckBox(parent);
      connect(w, &QCheckBox::clicked, this, [this, &c](bool checked) {
        UserActions::Check(c, checked);
        Sync();
      });
      return w;
    }
    case ComponentKind::RadioGroup: {
      auto* w = new QGroupBox(parent);
      new QVBoxLayout(w);
      auto* group = new QButtonGroup(w);
      connect(group, &QButtonGroup::idClicked, this, [this, &c](int index) {
        UserActions::Select(c, index);
        Sync();
      });
      return w;
    }
    case ComponentKind::Button: {
      auto* w = new QPushButton(parent);
      connect(w, &QPushButton::clicked, this, [this, &c] {
        UserActions::Click(c);
        Sync();
      });
      return w;
    }
    case ComponentKind::ProgressBar: {
      auto* w = new QProgressBar(parent);
      w->setTextVisible(false);
      return w;
    }
    case ComponentKind::ScrollBar: {
      auto* w = new QScrollBar(c.width >= c.height ? Qt::Horizontal : Qt::Vertical, parent);
      connect(w, &QScrollBar::valueChanged, this, [this, &c](int value) {
        if (syncing_) return;
        UserActions::Scroll(c, value);
        Sync();
      });
      return w;
    }
    case ComponentKind::Timer:
    case ComponentKind::OpenDialog:
    case ComponentKind::SaveDialog:
      return nullptr;
  }
  return nullptr;
}

void FormWindow::Apply(Binding& b) {
  Component& c = *b.component;
  QWidget* w = b.widget;
  QSignalBlocker block(w);

  if (c.kind == ComponentKind::TabSheet) {
    const int index = tabs_ ? tabs_->indexOf(w) : -1;
    if (index >= 0) {
      tabs_->setTabText(index, Q(c.caption));
      tabs_->setTabVisible(index, c.visible);
    }
    return;
  }

  w->setGeometry(c.left, c.top, c.width, c.height);
  w->setVisible(c.visible);
  w->setEnabled(c.enabled);

  switch (c.kind) {
    case ComponentKind::Image: {
      // A disabled image lets the mouse through to what lies below it, as
      // the form library does.
      w->setAttribute(Qt::WA_TransparentForMouseEvents, !c.enabled);
      w->setEnabled(true);
      w->update();
      break;
    }
    case ComponentKind::Label: {
      auto* label = static_cast<QLabel*>(w);
      const auto& model = static_cast<const Label&>(c);
      QFont font = label->font();
      font.setPixelSize(model.fontHeight > 0 ? model.fontHeight : 11);
      label->setFont(font);
      label->setStyleSheet(QString("color: %1;").arg(Rgb(model.fontColor).name()));
      label->setAutoFillBackground(!model.transparentBackground);
      QPalette palette = label->palette();
      palette.setColor(QPalette::Window, Rgb(FormRenderer::kFormColor));
      label->setPalette(palette);
      label->setAlignment((model.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      label->setText(Q(c.caption));
      if (!model.centred)  // labels grow to their text
        w->resize(std::max(c.width, label->sizeHint().width()), c.height);
      break;
    }
    case ComponentKind::PageControl: {
      auto& pc = static_cast<PageControl&>(c);
      if (pc.activePageIndex >= 0 && pc.activePageIndex < tabs_->count())
        tabs_->setCurrentIndex(pc.activePageIndex);
      break;
    }
    case ComponentKind::LabeledEdit:
    case ComponentKind::Edit: {
      auto* edit = static_cast<QLineEdit*>(w);
      edit->setMaxLength(c.maxLength > 0 ? c.maxLength : 32767);
      edit->setEchoMode(c.passwordChar ? QLineEdit::Password : QLineEdit::Normal);
      if (edit->text() != Q(c.text)) edit->setText(Q(c.text));
      if (b.label) {
        auto* label = static_cast<QLabel*>(b.label);
        label->setText(Q(c.caption));
        label->adjustSize();
        label->move(c.left, c.top - label->height() - 2);
        label->setVisible(c.visible);
        label->setEnabled(c.enabled);
      }
      break;
    }
    case ComponentKind::Memo: {
      auto* memo = static_cast<QPlainTextEdit*>(w);
      if (memo->toPlainText() != Q(c.text)) memo->setPlainText(Q(c.text));
      break;
    }
    case ComponentKind::ComboBox: {
      auto* combo = static_cast<QComboBox*>(w);
      QStringList items;
      for (const auto& item : c.items) items << Q(item);
      QStringList current;
      for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
      if (items != current) {
        combo->clear();
        combo->addItems(items);
      }
      combo->setCurrentIndex(c.itemIndex < combo->count() ? c.itemIndex : -1);
      break;
    }
    case ComponentKind::CheckBox: {
      auto* box = static_cast<QCheckBox*>(w);
      box->setText(Q(c.caption));
      box->setChecked(c.checked);
      break;
    }
    case ComponentKind::RadioGroup: {
      auto* box = static_cast<QGroupBox*>(w);
      box->setTitle(Q(c.caption));
      auto* group = box->findChild<QButtonGroup*>();
      auto buttons = group->buttons();
      if (buttons.size() != static_cast<qsizetype>(c.items.size())) {
        for (auto* button : buttons) delete button;
        for (size_t i = 0; i < c.items.size(); ++i) {
          auto* radio = new QRadioButton(box);
          box->layout()->addWidget(radio);
          group->addButton(radio, static_cast<int>(i));
        }
        buttons = group->buttons();
      }
      for (int i = 0; i < buttons.size(); ++i) {
        buttons[i]->setText(Q(c.items[static_cast<size_t>(i)]));
        buttons[i]->setChecked(i == c.itemIndex);
      }
      break;
    }
    case ComponentKind::Button:
      static_cast<QPushButton*>(w)->setText(Q(c.caption));
      break;
    case ComponentKind::ProgressBar: {
      auto* bar = static_cast<QProgressBar*>(w);
      bar->setRange(c.minimum, c.maximum);
      bar->setValue(c.position);
      break;
    }
    case ComponentKind::ScrollBar: {
      auto* bar = static_cast<QScrollBar*>(w);
      bar->setRange(c.minimum, c.maximum);
      bar->setValue(c.position);
      break;
    }
    default:
      break;
  }
}

void FormWindow::SyncSpeedDome() {
  TSpeedDome& dome = form_.SpeedDome;
  Image& image = dome.Image5;
  if (dome.revision != speedDomeRevision_ || dome.visible != speedDome_->isVisible()) {
    speedDomeRevision_ = dome.revision;
    speedDome_->setFixedSize(image.width, image.height);
    speedDome_->move(dome.left, dome.top);
    speedDome_->setVisible(dome.visible);
  }
  if (image.revision != image5Revision_) {
    image5Revision_ = image.revision;
    if (auto* w = speedDome_->findChild<ImageWidget*>()) {
      w->setGeometry(0, 0, image.width, image.height);
      w->update();
    }
  }
}

}  // namespace tevrano::host
