#include "host/FormRenderer.h"
#include "host/FormText.h"

#include <QPainter>

#include "host/FormText.h"

namespace tevrano::host {

namespace {
QColor Rgb(uint32_t c) {
  return QColor::fromRgb(c | 0xFF000000u);
}
QString Q(const std::string& s) {
  return FormText(s);
}

const QColor kText = Rgb(0x000000);
const QColor kGreyText = Rgb(0x808080);
const QColor kFace = Rgb(FormRenderer::kFormColor);
const QColor kWindow = Rgb(0xFFFFFF);
const QColor kShadow = Rgb(0xA0A0A0);
const QColor kSelection = Rgb(0x0078D7);

QFont UiFont() {
  QFont f("Sans Serif");
  f.setPixelSize(11);
  return f;
}

void Frame(QPainter& p, const QRect& r, const QColor& fill) {
  p.fillRect(r, fill);
  p.setPen(kShadow);
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

void DrawImage(QPainter& p, const Image& image, const QRect& r) {
  if (image.picture.Empty()) return;
  QImage view = FormRenderer::View(image.picture);
  if (image.stretch)
    p.drawImage(r, view);
  else
    p.drawImage(r.topLeft(), view, QRect(0, 0, r.width(), r.height()));
}

void DrawLabel(QPainter& p, const Component& c, const QRect& r) {
  const auto* label = dynamic_cast<const Label*>(&c);
  QFont f = UiFont();
  if (label) f.setPixelSize(label->fontHeight > 0 ? label->fontHeight : 11);
  p.setFont(f);
  // A label takes its parent's colour: white on a tab sheet, the face colour
  // on the form.
  const bool onTab = c.parent && c.parent->kind == ComponentKind::TabSheet;
  if (label && !label->transparentBackground) p.fillRect(r, onTab ? kWindow : kFace);
  p.setPen(!c.enabled ? kGreyText : label ? Rgb(label->fontColor) : kText);
  int align = (label && label->centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
  // Labels grow to their text: draw past the rectangle as an auto-sized label would.
  QRect area = r;
  if (!(label && label->centred)) area.setWidth(std::max(r.width(), 1000));
  p.drawText(area, align, Q(c.caption));
}

void DrawTabs(QPainter& p, const PageControl& pc, const QRect& r) {
  // The page control is a window of its own: its tab row is drawn in the face
  // colour, not left showing whatever lies behind it (the video).
  p.fillRect(QRect(r.left(), r.top(), r.width(), 21), kFace);
  Frame(p, r.adjusted(0, 20, 0, 0), kWindow);
  p.setFont(UiFont());
  int x = r.left() + 2;
  for (size_t i = 0; i < pc.pages.size(); ++i) {
    const Component* tab = pc.pages[i];
    if (!tab->visible) continue;
    const int w = p.fontMetrics().horizontalAdvance(Q(tab->caption)) + 16;
    const bool active = static_cast<int>(i) == pc.activePageIndex;
    QRect t(x, r.top() + (active ? 0 : 2), w, active ? 21 : 18);
    Frame(p, t, active ? kWindow : kFace);
    p.setPen(kText);
    p.drawText(t, Qt::AlignCenter, Q(tab->caption));
    x += w;
  }
}

void DrawBox(QPainter& p, const Component& c, const QRect& r, const std::string& text) {
  Frame(p, r, c.enabled ? kWindow : kFace);
  p.setFont(UiFont());
  p.setPen(c.enabled ? kText : kGreyText);
  p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter, Q(text));
}

void DrawComponent(QPainter& p, const Component& c, const QRect& r) {
  p.save();
  switch (c.kind) {
    case ComponentKind::Image:
      DrawImage(p, static_cast<const Image&>(c), r);
      break;
    case ComponentKind::Label:
      DrawLabel(p, c, r);
      break;
    case ComponentKind::PageControl:
      DrawTabs(p, static_cast<const PageControl&>(c), r);
      break;
    case ComponentKind::TabSheet:
      p.fillRect(r, kWindow);
      break;
    case ComponentKind::LabeledEdit:
      p.setFont(UiFont());
      p.setPen(c.enabled ? kText : kGreyText);
      p.drawText(QRect(r.left(), r.top() - 16, 400, 16), Qt::AlignLeft | Qt::AlignBottom,
                 Q(c.caption));
      DrawBox(p, c, r, FormRenderer::ShownText(c));
      break;
    case ComponentKind::Edit:
      DrawBox(p, c, r, FormRenderer::ShownText(c));
      break;
    case ComponentKind::Memo: {
      Frame(p, r, c.enabled ? kWindow : kFace);
      p.setFont(UiFont());
      p.setPen(c.enabled ? kText : kGreyText);
      p.drawText(r.adjusted(3, 2, -3, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                 Q(c.text));
      break;
    }
    case ComponentKind::ComboBox: {
      std::string shown = c.itemIndex >= 0 && c.itemIndex < static_cast<int>(c.items.size())
                              ? c.items[static_cast<size_t>(c.itemIndex)]
                              : c.text;
      DrawBox(p, c, r.adjusted(0, 0, -17, 0), shown);
      QRect arrow(r.right() - 16, r.top(), 17, r.height());
      Frame(p, arrow, kFace);
      p.setPen(kText);
      p.drawText(arrow, Qt::AlignCenter, QStringLiteral("\u25BE"));
      break;
    }
    case ComponentKind::CheckBox: {
      QRect box(r.left(), r.top() + (r.height() - 13) / 2, 13, 13);
      Frame(p, box, kWindow);
      p.setFont(UiFont());
      p.setPen(c.enabled ? kText : kGreyText);
      if (c.checked) p.drawText(box, Qt::AlignCenter, QStringLiteral("\u2713"));
      p.drawText(r.adjusted(17, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Q(c.caption));
      break;
    }
    case ComponentKind::RadioGroup: {
      p.setFont(UiFont());
      p.setPen(kShadow);
      p.drawRect(r.adjusted(0, 6, -1, -1));
      p.fillRect(
          QRect(r.left() + 6, r.top(), p.fontMetrics().horizontalAdvance(Q(c.caption)) + 4, 13),
          kWindow);
      p.setPen(c.enabled ? kText : kGreyText);
      p.drawText(r.left() + 8, r.top() + 10, Q(c.caption));
      const int n = static_cast<int>(c.items.size());
      for (int i = 0; i < n; ++i) {
        int y = r.top() + 16 + i * std::max(16, (r.height() - 20) / std::max(n, 1));
        p.setPen(kText);
        p.drawEllipse(QRect(r.left() + 8, y, 11, 11));
        if (i == c.itemIndex) p.setBrush(kText), p.drawEllipse(QRect(r.left() + 11, y + 3, 5, 5));
        p.setBrush(Qt::NoBrush);
        p.drawText(QRect(r.left() + 24, y - 2, r.width() - 28, 15),
                   Qt::AlignLeft | Qt::AlignVCenter, Q(c.items[static_cast<size_t>(i)]));
      }
      break;
    }
    case ComponentKind::Button:
      Frame(p, r, kFace);
      p.setFont(UiFont());
      p.setPen(c.enabled ? kText : kGreyText);
      p.drawText(r, Qt::AlignCenter, Q(c.caption));
      break;
    case ComponentKind::ProgressBar:
    case ComponentKind::ScrollBar: {
      Frame(p, r, kFace);
      const int range = std::max(c.maximum - c.minimum, 1);
      const double f = std::clamp(double(c.position - c.minimum) / range, 0.0, 1.0);
      if (c.kind == ComponentKind::ProgressBar) {
        p.fillRect(QRect(r.left() + 1, r.top() + 1, int((r.width() - 2) * f), r.height() - 2),
                   kSelection);
      } else {
        const bool vertical = r.height() > r.width();
        const int length = vertical ? r.height() : r.width();
        const int thumb = std::max(12, length / 10);
        const int at = int((length - thumb) * f);
        QRect t = vertical ? QRect(r.left() + 1, r.top() + at, r.width() - 2, thumb)
                           : QRect(r.left() + at, r.top() + 1, thumb, r.height() - 2);
        Frame(p, t, kShadow);
      }
      break;
    }
    case ComponentKind::Timer:
    case ComponentKind::OpenDialog:
    case ComponentKind::SaveDialog:
      break;
  }
  p.restore();
}

bool IsFormComponent(const TTevranoX& form, const Component& c) {
  // The speed-dome pad is a window of its own, not part of the form.
  return &c != &form.SpeedDome.Image5;
}
}  // namespace

std::string FormRenderer::ShownText(const Component& c) {
  if (!c.passwordChar) return c.text;
  size_t characters = 0;
  for (unsigned char ch : c.text)
    if ((ch & 0xC0) != 0x80) ++characters;  // count lead bytes, not continuation bytes
  return std::string(characters, c.passwordChar);
}

QImage FormRenderer::View(const Bitmap& picture) {
  return QImage(reinterpret_cast<const uchar*>(picture.Data()), picture.Width(), picture.Height(),
                picture.Width() * 4, QImage::Format_RGB32);
}

bool FormRenderer::Showing(const Component& c) {
  if (!c.visible) return false;
  const Component* child = &c;
  for (const Component* parent = c.parent; parent; child = parent, parent = parent->parent) {
    if (!parent->visible) return false;
    if (parent->kind == ComponentKind::PageControl) {
      const auto* pc = static_cast<const PageControl*>(parent);
      const int i = pc->activePageIndex;
      if (i < 0 || i >= static_cast<int>(pc->pages.size()) || pc->pages[size_t(i)] != child)
        return false;
    }
  }
  return true;
}

QRect FormRenderer::FormRect(const Component& c) {
  QRect r(c.left, c.top, c.width, c.height);
  for (const Component* parent = c.parent; parent; parent = parent->parent)
    r.translate(parent->left, parent->top);
  return r;
}

uint32_t FormRenderer::BackgroundColor(const TTevranoX& form) {
  const Bitmap& picture = form.Image3.picture;
  if (picture.Empty() || picture.Height() < 1 || picture.Width() < 1) return kInterfaceColor;
  const uint32_t colour = picture.At(0, picture.Height() - 1) & 0xFFFFFF;
  return colour != 0 ? colour : kInterfaceColor;
}

QImage FormRenderer::RenderForm(const TTevranoX& form) {
  QImage image(TTevranoX::kWidth, TTevranoX::kHeight, QImage::Format_RGB32);
  image.fill(Rgb(BackgroundColor(form)));
  QPainter p(&image);
  for (const Component* c : form.Components()) {
    if (!IsFormComponent(form, *c) || !Showing(*c)) continue;
    QRect r = FormRect(*c);
    // A component never paints outside its parent.
    p.setClipping(c->parent != nullptr);
    if (c->parent) p.setClipRect(FormRect(*c->parent));
    DrawComponent(p, *c, r);
  }
  return image;
}

QImage FormRenderer::RenderComponent(const TTevranoX& form, const Component& c) {
  if (c.kind == ComponentKind::Image) {
    const auto& image = static_cast<const Image&>(c);
    if (!image.picture.Empty()) return View(image.picture).copy();
  }
  QRect r = FormRect(c);
  if (r.isEmpty()) return QImage();
  return RenderForm(form).copy(r);
}

bool FormRenderer::SaveSnapshot(const std::string& path, const TTevranoX& form,
                                const Component* component) {
  QImage image = component ? RenderComponent(form, *component) : RenderForm(form);
  if (image.isNull()) return false;
  return image.save(QString::fromStdString(path), "PNG");
}

}  // namespace tevrano::host
