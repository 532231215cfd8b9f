#include "hyperlink_box.h"

#include <QDesktopServices>
#include <QMouseEvent>

namespace quillo::qt {

HyperlinkBox::HyperlinkBox(const QString& caption, const QUrl& target, QWidget* parent)
    : QLabel(caption, parent), target_(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  normal_ = hover_ = visited_colour_ = palette().color(QPalette::Link);
  showColour();
}

void HyperlinkBox::setLinkColours(const QColor& normal, const QColor& hover,
                                  const QColor& visited) {
  normal_ = normal;
  hover_ = hover;
  visited_colour_ = visited;
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
  if (target_.isEmpty()) return;
  visited_ = true;
  showColour();
  QDesktopServices::openUrl(target_);
  emit opened(target_);
}

void HyperlinkBox::showColour() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText,
                   hovered_ ? hover_ : (visited_ ? visited_colour_ : normal_));
  setPalette(colours);
}

}  // namespace quillo::qt
