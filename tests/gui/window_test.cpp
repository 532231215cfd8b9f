// The window as realised by the GUI runtime: every control where, what and how the table
// puts it, the window's frame and icon, colours, and captions that fit.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>
#include <QWebEngineView>

#include "gui_support.h"
#include "hyperlink_box.h"
#include "main_window.h"

namespace quillo {
namespace {

using testing::Control;

QWidget* Window() { return qt::LoadedWindow(); }

TEST(Window, FrameCaptionSizeAndPlace) {
  QWidget* window = Window();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillo BY中国人，中国范~"));
  EXPECT_EQ(window->size(), QSize(344, 252));
  EXPECT_EQ(window->minimumSize(), QSize(344, 252));
  EXPECT_EQ(window->maximumSize(), QSize(344, 252));
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  // The window manager may place the frame a moment after mapping.
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->pos() == QPoint(50, 50); }, 3000))
      << window->pos().x() << "," << window->pos().y();
  EXPECT_FALSE(window->autoFillBackground());
  EXPECT_EQ(window->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Window));
}

TEST(Window, IconHasEightImagesWithAlpha) {
  const QIcon icon = Window()->windowIcon();
  QList<int> sides;
  for (const QSize& size : icon.availableSizes()) {
    EXPECT_EQ(size.width(), size.height());
    sides.append(size.width());
    const QImage image = icon.pixmap(size).toImage();
    EXPECT_TRUE(image.hasAlphaChannel()) << size.width();
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "corner of " << size.width();
  }
  std::sort(sides.begin(), sides.end());
  EXPECT_EQ(sides, (QList<int>{16, 24, 32, 48, 64, 72, 96, 128}));
}

enum class Kind { Edit, Button, Link, Label, Browser };

struct ControlRow {
  const char* name;
  Kind kind;
  int left, top, width, height;
  bool shown;  // as the table says
  bool focusable;
  const char* caption;
};

// The window's controls in the window's order, as the user should meet them.
constexpr ControlRow kControls[] = {
    {"超文本浏览框3", Kind::Browser, 48, 304, 40, 24, true, false, ""},
    {"超文本浏览框2", Kind::Browser, 184, 40, 160, 208, true, true, ""},
    {"超级链接框3", Kind::Link, 256, 14, 72, 24, true, false, "问题反馈"},
    {"超级链接框2", Kind::Link, 184, 14, 64, 24, true, false, "访问Tavenor"},
    {"超文本浏览框1", Kind::Browser, 376, 120, 32, 24, false, false, ""},
    {"超级链接框1", Kind::Link, 352, 88, 32, 16, false, false, ""},
    {"按钮加号键", Kind::Button, 16, 191, 48, 24, true, true, "+"},
    {"透明标签3", Kind::Label, 12, 8, 176, 16, true, false, "中国手机号要在号码前加“+86”"},
    {"透明标签2", Kind::Label, 10, 236, 177, 16, true, false, "每台电脑每天只能打一次、2分钟"},
    {"透明标签1", Kind::Label, 11, 221, 176, 16, true, false, "接通耳机或话筒，拨打电话免费"},
    {"按钮10", Kind::Button, 96, 186, 80, 32, true, true, "拨号"},
    {"按钮井号键", Kind::Button, 128, 159, 48, 24, true, true, "#"},
    {"按钮米子键", Kind::Button, 16, 159, 48, 24, true, true, "*"},
    {"按钮0", Kind::Button, 72, 159, 48, 24, true, true, "0"},
    {"按钮9", Kind::Button, 128, 127, 48, 24, true, true, "9"},
    {"按钮8", Kind::Button, 72, 127, 48, 24, true, true, "8"},
    {"按钮7", Kind::Button, 16, 127, 48, 24, true, true, "7"},
    {"按钮6", Kind::Button, 128, 95, 48, 24, true, true, "6"},
    {"按钮5", Kind::Button, 72, 95, 48, 24, true, true, "5"},
    {"按钮4", Kind::Button, 16, 95, 48, 24, true, true, "4"},
    {"按钮3", Kind::Button, 128, 63, 48, 24, true, true, "3"},
    {"按钮2", Kind::Button, 72, 63, 48, 24, true, true, "2"},
    {"按钮1", Kind::Button, 16, 63, 48, 24, true, true, "1"},
    {"编辑框1", Kind::Edit, 16, 32, 160, 24, true, true, ""},
};

bool IsKind(QWidget* widget, Kind kind) {
  switch (kind) {
    case Kind::Edit:
      return qobject_cast<QLineEdit*>(widget) != nullptr;
    case Kind::Button:
      return qobject_cast<QPushButton*>(widget) != nullptr;
    case Kind::Link:
      return qobject_cast<qt::HyperlinkBox*>(widget) != nullptr;
    case Kind::Label:
      return qobject_cast<QLabel*>(widget) != nullptr &&
             qobject_cast<qt::HyperlinkBox*>(widget) == nullptr;
    case Kind::Browser:
      return qobject_cast<QWebEngineView*>(widget) != nullptr;
  }
  return false;
}

QString CaptionOf(QWidget* widget) {
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  return {};
}

class ControlTable : public ::testing::TestWithParam<ControlRow> {};

TEST_P(ControlTable, StandsWhereAndAsTheTableSays) {
  const ControlRow& row = GetParam();
  QWidget* widget = qt::ControlWidget(row.name);
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(IsKind(widget, row.kind));
  EXPECT_EQ(widget->geometry(), QRect(row.left, row.top, row.width, row.height));
  if (row.kind == Kind::Browser) {
    EXPECT_TRUE(widget->isVisible()) << "a browser box stays shown so its page stays live";
  } else {
    EXPECT_EQ(widget->isVisible(), row.shown);
  }
  EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, row.focusable);
  const QString caption = QString::fromUtf8(row.caption);
  if (row.kind != Kind::Browser && row.kind != Kind::Edit) {
    EXPECT_EQ(CaptionOf(widget), caption);
  }
  EXPECT_EQ(widget->accessibleName(), caption.isEmpty() ? widget->objectName() : caption);
}

TEST_P(ControlTable, CaptionFitsItsControl) {
  const ControlRow& row = GetParam();
  QWidget* widget = qt::ControlWidget(row.name);
  ASSERT_NE(widget, nullptr);
  // What an edit box holds is the user's, not its caption.
  const QString caption =
      row.kind == Kind::Edit ? QString::fromUtf8(row.caption) : CaptionOf(widget);
  if (caption.isEmpty()) GTEST_SKIP() << "no caption";
  const QFontMetrics metrics(widget->font());
  // A push button keeps a margin of a few pixels on either side of its caption.
  const int room = widget->contentsRect().width() - (row.kind == Kind::Button ? 8 : 0);
  EXPECT_LE(metrics.horizontalAdvance(caption), room) << row.name;
  EXPECT_LE(metrics.height(), widget->contentsRect().height()) << row.name;
}

INSTANTIATE_TEST_SUITE_P(MainWindow, ControlTable, ::testing::ValuesIn(kControls),
                         [](const auto& param) {
                           return "control" + std::to_string(param.index + 1);
                         });

TEST(Window, ControlsKeepTheTablesOrder) {
  QStringList names;
  for (QWidget* child : Window()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    names.append(child->objectName());
  }
  QStringList expected;
  for (const ControlRow& row : kControls) expected.append(QString::fromUtf8(row.name));
  EXPECT_EQ(names, expected);
}

struct ColourRow {
  const char* name;
  QPalette::ColorRole role;
  QColor colour;
};

constexpr auto kText = QPalette::Text;
constexpr auto kBase = QPalette::Base;
constexpr auto kWindowText = QPalette::WindowText;

const ColourRow kColours[] = {
    {"编辑框1", kText, QColor(0, 0, 0)},
    {"编辑框1", kBase, QColor(255, 255, 255)},
    {"透明标签3", kWindowText, QColor(255, 0, 0)},
    {"透明标签1", kWindowText, QColor(192, 96, 0)},
    {"透明标签2", kWindowText, QColor(88, 48, 224)},
    {"超级链接框2", kWindowText, QColor(0, 0, 255)},
    {"超级链接框3", kWindowText, QColor(0, 0, 255)},
    {"超级链接框1", kWindowText, QColor(0, 0, 255)},
};

TEST(Window, ControlColours) {
  for (const ColourRow& row : kColours) {
    QWidget* widget = qt::ControlWidget(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->palette().color(row.role), row.colour) << row.name;
  }
  for (const char* name : {"超级链接框2", "超级链接框3", "超级链接框1"}) {
    EXPECT_EQ(qt::ControlWidget(name)->palette().color(QPalette::Window),
              Window()->palette().color(QPalette::Window))
        << name;
  }
}

// The colour most pixels of the area have, as drawn.
QColor MostCommonColour(const QImage& image, const QRect& area) {
  QMap<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
  }
  QRgb best = 0;
  int most = -1;
  for (auto it = counts.begin(); it != counts.end(); ++it) {
    if (it.value() > most) best = it.key(), most = it.value();
  }
  return QColor(best);
}

TEST(Window, TransparentLabelsShowTheWindowBehindThem) {
  const QImage drawn = Window()->grab().toImage();
  const QColor background = Window()->palette().color(QPalette::Window);
  for (const char* name : {"透明标签1", "透明标签2", "透明标签3"}) {
    QWidget* label = qt::ControlWidget(name);
    EXPECT_FALSE(label->autoFillBackground()) << name;
    EXPECT_EQ(MostCommonColour(drawn, label->geometry()), background) << name;
  }
}

class LinkTargets : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

struct LinkRow {
  const char* name;
  const char* path;   // below the pages folder
  const char* query;  // expected query, or ""
  QColor visited;
};

const LinkRow kLinks[] = {
    {"超级链接框3", "author/index.html", "", QColor(119, 208, 252)},
    {"超级链接框2", "partner/index.html", "fromuid", QColor(119, 208, 252)},
};

TEST(Window, LinksOpenTheirTargetsInTheSystemBrowserAndChangeColour) {
  LinkTargets targets;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &targets, "open");
  for (const LinkRow& row : kLinks) {
    auto* link = Control<qt::HyperlinkBox>(row.name);
    ASSERT_NE(link, nullptr);
    targets.opened.clear();
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 0)) << row.name;
    QTest::mouseClick(link, Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), row.visited) << row.name;
    ASSERT_EQ(targets.opened.size(), 1) << row.name;
    const QUrl& url = targets.opened.front();
    EXPECT_EQ(url.toLocalFile(), qt::PagesFolder() + "/" + row.path) << row.name;
    if (*row.query) {
      EXPECT_TRUE(QUrlQuery(url).hasQueryItem(row.query)) << row.name;
    }
  }
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

}  // namespace
}  // namespace quillo

#include "window_test.moc"
