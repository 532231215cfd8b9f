#include "hyperlink_box.h"

#include <QDesktopServices>
#include <QMouseEvent>

#include "window_rules.h"

namespace quillo::qt {

HyperlinkBox::HyperlinkBox(const QString& caption, const QUrl& target, QWidget* parent)
    : QLabel(caption, parent), target_(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  plain_ = palette().color(QPalette::Link);
  showColour();
}

void HyperlinkBox::setLinkColours(const LinkColours& colours) {
  colours_ = colours;
  showColour();
}

void HyperlinkBox::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  showColour();
  QLabel::enterEvent(event);
}

void HyperlinkBox::leaveEvent(QEvent* event) {
  hovered_ = false;
  showColour();
  QLabel::leaveEvent(event);
}

void HyperlinkBox::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
    return;
  }
  if (!rules::LinkOpens(text(), target_.toString())) return;
  visited_ = true;
  showColour();
  QDesktopServices::openUrl(target_);
  emit opened(target_);
}

void HyperlinkBox::showColour() {
  QPalette colours = palette();
  QColor shown = plain_;
  if (colours_) {
    const Rgb colour = rules::LinkColour(*colours_, hovered_, visited_);
    shown = QColor(colour.red, colour.green, colour.blue);
  }
  colours.setColor(QPalette::WindowText, shown);
  setPalette(colours);
}

}  // namespace quillo::qt
