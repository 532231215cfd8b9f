// A hyperlink box: a caption in link colours (normal, pointer over it, visited) that opens
// its target in the system's web browser when it is clicked. It does not load pages itself
// and knows nothing of the program's handlers.
#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>
#include <optional>

#include "gui_runtime.h"

namespace quillo::qt {

class HyperlinkBox : public QLabel {
  Q_OBJECT

 public:
  HyperlinkBox(const QString& caption, const QUrl& target, QWidget* parent);

  void setLinkColours(const LinkColours& colours);
  QUrl target() const { return target_; }
  bool isVisited() const { return visited_; }

 signals:
  void opened(const QUrl& target);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void showColour();

  QUrl target_;
  QColor plain_;  // the style's link colour, without colours of the table
  std::optional<LinkColours> colours_;
  bool hovered_ = false;
  bool visited_ = false;
};

}  // namespace quillo::qt
