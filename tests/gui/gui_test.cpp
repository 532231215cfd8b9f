// The program's window on the real GUI runtime, the runtime's own services, the start-up routine.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWebEngineWidgets>
#include <fstream>
#include <thread>

#include "gui_runtime_qt.h"
#include "main_window.h"
#include "process_switches.h"
#include "startup.h"
#include "web_page_operator.h"
#include "window_registry.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }
inline void PrintTo(const QColor& colour, std::ostream* out) { *out << qPrintable(colour.name()); }

namespace quillo {
namespace {

constexpr char kCaption[] = "Quillo BY中国人，中国范~", kCalling[] = "超文本浏览框1";
using Calls = std::vector<std::vector<std::int32_t>>;

QString Evaluate(const char* box, const QString& script) {  // its value as text, "" on time-out
  auto value = std::make_shared<std::optional<QVariant>>();
  auto* view = qobject_cast<QWebEngineView*>(qt::ControlWidget(box));
  view->page()->runJavaScript(script, [value](const QVariant& result) { *value = result; });
  return QTest::qWaitFor([&] { return value->has_value(); }, 5000) ? (*value)->toString() : "";
}

struct Window : ::testing::Test {  // loaded again after a Runtime test
  void SetUp() override {
    if (!qt::LoadedWindow() || qt::LoadedWindow()->objectName() != "MainWindow")
      LoadWindow(app::MainWindow());
    ASSERT_TRUE(QTest::qWaitFor(qt::BrowserBoxesStarted, 30000));
  }
};

constexpr char kEdit[] = "quillo::qt::EditBox", kButton[] = "QPushButton", kLabel[] = "QLabel",
               kLink[] = "quillo::qt::HyperlinkBox", kBrowser[] = "quillo::qt::BrowserBox";

// The program's controls in the window's order: class, place, shown, focusable, caption, colour.
// clang-format off
const std::tuple<const char*, const char*, QRect, bool, bool, QString, int> kControls[] = {
    {"超文本浏览框3", kBrowser, {48, 304, 40, 24}, true, false, "", -1},
    {"超文本浏览框2", kBrowser, {184, 40, 160, 208}, true, true, "", -1},
    {"超级链接框3", kLink, {256, 14, 72, 24}, true, false, "问题反馈", 0x0000ff},
    {"超级链接框2", kLink, {184, 14, 64, 24}, true, false, "访问Tavenor", 0x0000ff},
    {kCalling, kBrowser, {376, 120, 32, 24}, false, false, "", -1},
    {"超级链接框1", kLink, {352, 88, 32, 16}, false, false, "", 0x0000ff},
    {"按钮加号键", kButton, {16, 191, 48, 24}, true, true, "+", -1},
    {"透明标签3", kLabel, {12, 8, 176, 16}, true, false, "中国手机号要在号码前加“+86”", 0xff0000},
    {"透明标签2", kLabel, {10, 236, 177, 16}, true, false, "每台电脑每天只能打一次、2分钟", 0x5830e0},
    {"透明标签1", kLabel, {11, 221, 176, 16}, true, false, "接通耳机或话筒，拨打电话免费", 0xc06000},
    {"按钮10", kButton, {96, 186, 80, 32}, true, true, "拨号", -1},
    {"按钮井号键", kButton, {128, 159, 48, 24}, true, true, "#", -1},
    {"按钮米子键", kButton, {16, 159, 48, 24}, true, true, "*", -1},
    {"按钮0", kButton, {72, 159, 48, 24}, true, true, "0", -1},
    {"按钮9", kButton, {128, 127, 48, 24}, true, true, "9", -1},
    {"按钮8", kButton, {72, 127, 48, 24}, true, true, "8", -1},
    {"按钮7", kButton, {16, 127, 48, 24}, true, true, "7", -1},
    {"按钮6", kButton, {128, 95, 48, 24}, true, true, "6", -1},
    {"按钮5", kButton, {72, 95, 48, 24}, true, true, "5", -1},
    {"按钮4", kButton, {16, 95, 48, 24}, true, true, "4", -1},
    {"按钮3", kButton, {128, 63, 48, 24}, true, true, "3", -1},
    {"按钮2", kButton, {72, 63, 48, 24}, true, true, "2", -1},
    {"按钮1", kButton, {16, 63, 48, 24}, true, true, "1", -1},
    {"编辑框1", kEdit, {16, 32, 160, 24}, true, true, "", 0x000000}};
// clang-format on

TEST_F(Window, FrameIconAndControlsStandWhereAndAsTheTableSays) {
  QWidget* window = qt::LoadedWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8(kCaption));
  for (QSize size : {window->size(), window->minimumSize(), window->maximumSize()})
    EXPECT_EQ(size, QSize(344, 252));
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->pos() == QPoint(50, 50); }, 3000));
  EXPECT_FALSE(window->autoFillBackground());
  const QColor ground = window->palette().color(QPalette::Window);
  EXPECT_EQ(ground, QApplication::palette().color(QPalette::Window));
  const QIcon icon = window->windowIcon();  // square sizes, each with a transparent corner
  QList<int> sides;
  for (const QSize& size : icon.availableSizes()) {
    EXPECT_EQ(icon.pixmap(size).toImage().pixelColor(0, 0).alpha(), 0) << size.width();
    sides.append(size.width() == size.height() ? size.width() : -1);
  }
  std::ranges::sort(sides);
  EXPECT_EQ(sides, (QList<int>{16, 24, 32, 48, 64, 72, 96, 128}));
  const QImage drawn = window->grab().toImage();
  const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  EXPECT_EQ(children.size(), std::ssize(kControls));
  for (const auto& row : kControls) {
    const auto& [name, kind, place, shown, focusable, caption, colour] = row;
    SCOPED_TRACE(name);
    QWidget* widget = qt::ControlWidget(name);
    ASSERT_EQ(children.indexOf(widget), &row - kControls) << "in the window's order";
    EXPECT_STREQ(widget->metaObject()->className(), kind);
    EXPECT_EQ(widget->geometry(), place);
    EXPECT_EQ(widget->isVisible(), shown || kind == kBrowser);  // so that its page stays live
    EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, focusable);
    EXPECT_EQ(widget->accessibleName(), caption.isEmpty() ? widget->objectName() : caption);
    EXPECT_EQ(kind == kEdit ? caption : widget->property("text").toString(), caption);  // user's
    const QFontMetrics metrics(widget->font());  // the caption fits, a button's with margins
    const int room = widget->contentsRect().width() - (kind == kButton ? 8 : 0);
    EXPECT_LE(metrics.horizontalAdvance(caption), room);
    EXPECT_LE(caption.isEmpty() ? 0 : metrics.height(), widget->contentsRect().height());
    if (kind != kBrowser) {  // the edit box's ground is white; other colours are the window's
      const QPalette colours = widget->palette(), own = window->palette();
      const auto role = kind == kEdit ? QPalette::Text : QPalette::WindowText;
      EXPECT_EQ(colours.color(role), colour < 0 ? own.color(role) : QColor(QRgb(colour)));
      EXPECT_EQ(colours.color(QPalette::Base),
                kind == kEdit ? QColor(Qt::white) : own.color(QPalette::Base));
      EXPECT_EQ(colours.color(QPalette::Window), ground);
    }
    if (kind == kLabel) {  // transparent: most of it shows the window behind it
      EXPECT_FALSE(widget->autoFillBackground());
      int behind = 0;
      for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x)
          behind += QColor(drawn.pixel(x, y)) == ground;
      EXPECT_GT(2 * behind, place.width() * place.height());
    }
  }
}

struct Opened : QObject {  // what the user's browser is asked to open
  Q_OBJECT
 public:
  Q_INVOKABLE void open(const QUrl& url) { addresses.append(url.toString()); }
  QStringList addresses;
};

TEST_F(Window, LinksOpenTheirPagesInTheUsersBrowserAndShowTheyWereVisited) {
  Opened opened;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
  for (const char* name : {"超级链接框3", "超级链接框2"}) {
    SCOPED_TRACE(name);
    QWidget* link = qt::ControlWidget(name);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QTest::mouseClick(link, Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(119, 208, 252));
  }
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  const QString pages = "file://" + qt::PagesFolder();
  EXPECT_EQ(opened.addresses, (QStringList{pages + "/author/index.html",
                                           pages + "/partner/index.html?fromuid=20180818"}));
}

TEST_F(Window, DialPadKeysGoAtTheVeryEndKeepingTheSelection) {
  auto* number = qobject_cast<QLineEdit*>(qt::ControlWidget("编辑框1"));
  // clang-format off
  const std::tuple<QString, int, int, QString, QString> rows[] = {
      {"", 0, 0, "138", "138"},                {"8613", 0, 0, "+", "8613+"},
      {"+86", 0, 0, "+1+", "+86+1+"},          {"abc", 0, 0, "5", "abc5"},
      {"138 0013-", 0, 0, "9", "138 0013-9"},  {"12345", 1, 2, "5", "123455"},
      {"", 0, 0, "1234567890*#+", "1234567890*#+"},
      {"", 0, 0, QString(200, u'0'), QString(200, u'0')}};
  // clang-format on
  for (const auto& [typed, from, length, keys, expected] : rows) {
    number->clear();
    number->activateWindow();
    number->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(number, typed);
    number->setSelection(from, length);
    for (QChar key : keys)
      for (auto* button : qt::LoadedWindow()->findChildren<QPushButton*>())
        if (button->text() == key) QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(number->text(), expected);
    EXPECT_EQ(number->selectedText(), typed.mid(from, length)) << expected.toStdString();
  }
}

TEST_F(Window, BuiltInPagesLoadOfflineAndTheCallingPageStaysLive) {
  const std::tuple<const char*, const char*, QString, const char*> rows[] = {
      {kCalling, "locale/cn/index.html", "#ext-gen69[type=button]').textContent", "免费拨打"},
      {kCalling, "locale/cn/index.html", "input#phone-number[type=text]').name", "phone-number"},
      {"超文本浏览框2", "partner/index.html", "#referral').textContent", "推荐人：20180818"},
      {"超文本浏览框3", "author/index.html", "h1').textContent", "Quillo"},
  };
  for (const auto& [box, path, read, expected] : rows) {
    SCOPED_TRACE(box);
    const auto state = [&] { return Evaluate(box, "location.protocol + document.readyState"); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return state() == "file:complete"; }, 30000));  // not blank
    EXPECT_EQ(qt::ControlWidget(box)->property("url").toUrl().toLocalFile(),
              qt::PagesFolder() + "/" + path);
    EXPECT_EQ(Evaluate(box, "document.querySelector('" + read), QString::fromUtf8(expected));
  }
  EXPECT_EQ(Evaluate(kCalling, "document.visibilityState"), "visible");
  Evaluate(kCalling, "window.ticks = 0; window.ticker = setInterval(() => ++window.ticks, 20)");
  QTest::qWait(1000);  // out of sight, they would be throttled to about one a second
  EXPECT_GE(Evaluate(kCalling, "clearInterval(window.ticker); window.ticks").toInt(), 10);
  // Drawn in software once painted: no toolkit GL glue, vendor GLX library or Mesa driver mapped.
  ASSERT_TRUE(qt::DrawsInSoftware());
  qt::ControlWidget("超文本浏览框2")->grab();
  std::ifstream maps("/proc/self/maps");
  const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
  ASSERT_FALSE(mapped.empty());
  for (const char* part : {"xcbglintegrations", "/libGLX_", "_dri.so"})
    EXPECT_EQ(mapped.find(part), std::string::npos) << part;
}

struct Runtime : ::testing::Test {  // a small window of its own for each test
  void SetUp() override {
    LoadWindow(spec_);
    ASSERT_TRUE(QTest::qWaitFor(qt::BrowserBoxesStarted, 30000));
  }
  void TearDown() override { Exit(0); }
  static EventHandler Into(Calls& calls) {
    return [&calls](auto arguments) { calls.emplace_back(arguments.begin(), arguments.end()); };
  }

  Calls clicks_, created_, presses_;
  using enum ControlKind;
  // clang-format off
  const WindowSpec spec_{.name = "TestWindow", .caption = "运行时", .left = 20, .top = 20,
      .clientWidth = 200, .clientHeight = 100, .icon = "none",
      .events = {{kCreatedEvent, Into(created_)}},
      .controls = {
          {.name = "编辑框", .kind = EditBox, .width = 100, .height = 24, .shown = true,
           .focusable = true, .caption = "起"},
          {.name = "按钮", .kind = Button, .top = 30, .width = 60, .height = 24, .shown = true,
           .focusable = true, .caption = "按", .events = {{kClickEvent, Into(clicks_)}}},
          {.name = "标签", .kind = TransparentLabel, .left = 100, .top = 30, .width = 60,
           .height = 16, .shown = true, .caption = "签",
           .events = {{kLeftButtonDownEvent, Into(presses_)}}},
          {.name = "隐藏标签", .kind = TransparentLabel, .top = 60, .width = 60, .height = 16},
          // Hidden, yet inside the client area: the runtime must move it out of sight.
          {.name = "浏览框", .kind = BrowserBox, .left = 10, .top = 10, .width = 30, .height = 20,
           .focusable = true, .address = "about:blank"}},
      .tabOrder = {"按钮", "浏览框", "编辑框"}};
  // clang-format on
};

TEST_F(Runtime, TextsHandlesAndEventsAnswerAsTheControlsAre) {
  EXPECT_EQ(ReadControlText("编辑框"), TextFromUtf8("起"));
  EXPECT_EQ(ReadControlText("标签"), TextFromUtf8("签"));
  for (const Text& text : {Text(), Text("+8613800138000"), TextFromUtf8("号码 abc"),
                           TextFromUtf8("€"), TextFromUtf8("𠀀"), Text(500, '9')}) {
    WriteControlText("编辑框", text);
    EXPECT_EQ(qt::ControlWidget("编辑框")->property("text").toString(),
              QString::fromStdString(TextToUtf8(text)));
    EXPECT_EQ(ReadControlText("编辑框"), text);
  }
  WriteControlText("按钮", TextFromUtf8("拨"));
  EXPECT_EQ(qt::ControlWidget("按钮")->property("text").toString(), QStringLiteral("拨"));
  WriteControlText("没有", "x");  // no such control
  EXPECT_EQ(ReadControlText("没有"), "");
  // Only browser boxes have windows; a hidden one stays shown, out of sight.
  for (const char* name : {"按钮", "没有"}) EXPECT_EQ(ControlWindowHandle(name), 0) << name;
  const std::int32_t box = ControlWindowHandle("浏览框");
  ASSERT_TRUE(IsLiveWindow(box));
  EXPECT_EQ(GetWindowClassName(WebPageOperator().FindBrowserServerWindow(box)),
            "Internet Explorer_Server");
  EXPECT_TRUE(qt::ControlWidget("浏览框")->isVisible());
  EXPECT_FALSE(qt::ControlWidget("浏览框")->geometry().intersects(qt::LoadedWindow()->rect()));
  EXPECT_FALSE(qt::ControlWidget("隐藏标签")->isVisible());
  QTest::mouseClick(qt::ControlWidget("按钮"), Qt::LeftButton);
  QTest::mousePress(qt::ControlWidget("标签"), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 6));
  QTest::mousePress(qt::ControlWidget("标签"), Qt::RightButton, Qt::NoModifier, QPoint(1, 1));
  EXPECT_EQ(std::tuple(created_, clicks_, presses_),
            std::tuple(Calls{{}}, Calls{{}}, Calls{{5, 6, 1}}));
}

TEST_F(Runtime, TabSkipsTheUnseenTheLoopEndsWithTheWindowExitRunsEndRoutines) {
  qt::LoadedWindow()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(qt::LoadedWindow()));
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab})  // each way past the box out of sight
    for (const auto& [from, to] : {std::pair("编辑框", "按钮"), std::pair("按钮", "编辑框")}) {
      qt::ControlWidget(from)->setFocus(Qt::OtherFocusReason);
      QTest::keyClick(QApplication::focusWidget(), key);
      EXPECT_EQ(QApplication::focusWidget(), qt::ControlWidget(to)) << from << " " << key;
    }
  QWidget* box = qt::ControlWidget("浏览框");  // out of sight: refuses the focus, even asked
  box->setFocus(Qt::OtherFocusReason);
  for (QWidget* part : box->findChildren<QWidget*>()) part->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), qt::ControlWidget("编辑框"));
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  ProcessPendingMessages();
  EXPECT_TRUE(ran);
  QTimer::singleShot(50, qt::LoadedWindow(), &QWidget::close);
  RunMessageLoop();
  EXPECT_FALSE(qt::LoadedWindow()->isVisible());
  RunMessageLoop();  // nothing shown: returns at once
  std::vector<Text> order;
  RegisterEndRoutine([&] { order.push_back("first " + ReadControlText("编辑框")); });
  RegisterEndRoutine([&] { order.push_back("second"); });
  EXPECT_EQ(Exit(3), 3);
  EXPECT_EQ(order, (std::vector<Text>{"second", "first " + TextFromUtf8("起")}));
  EXPECT_EQ(qt::LoadedWindow(), nullptr);
  Exit(0);
  EXPECT_EQ(order.size(), 2u);
}

TEST(Addresses, BuiltInPagesLieBelowThePagesFolderAndOthersStayAsTheyAre) {
  const QString pages = "file://" + qt::PagesFolder();
  const std::pair<const char*, QString> rows[] = {
      {"https://calls.example/locale/cn", "https://calls.example/locale/cn"},
      {"locale/cn/index.html", pages + "/locale/cn/index.html"},
      {"partner/index.html?fromuid=42&x=1", pages + "/partner/index.html?fromuid=42&x=1"},
      {"", ""}};
  for (const auto& [address, expected] : rows)
    EXPECT_EQ(qt::ResolveAddress(address).toString(), expected) << address;
}

// Run alone (gui.startup): the window manager closes the window as its close button does.
TEST(StartUp, ClosingTheWindowEndsTheProgramCleanlyAndOnce) {
  if (QCoreApplication::instance() != nullptr) GTEST_SKIP() << "needs a process of its own";
  const int initialised = registry::CoInitializeCount();
  const int uninitialised = registry::CoUninitializeCount();
  std::string atEnd;
  RegisterEndRoutine([&] {  // before the program's own, so it runs after it
    atEnd += "loop level " + std::to_string(QThread::currentThread()->loopLevel()) +
             ", uninitialised " + std::to_string(registry::CoUninitializeCount() - uninitialised) +
             (qt::LoadedWindow() ? ", window there" : ", no window") + ", number '" +
             ReadControlText(app::kNumberBox) + "';";
  });
  std::thread closer([] {  // as soon as the window manager has the window
    const std::string close = std::string("wmctrl -c '") + kCaption + "'";
    int status = -1;
    for (int i = 0; i < 600 && (status = std::system(close.c_str())) != 0; ++i)
      QThread::msleep(100);
    EXPECT_EQ(status, 0) << "wmctrl could not ask the window manager to close the window";
  });
  EXPECT_EQ(app::StartUp(), 0);
  closer.join();
  EXPECT_EQ(registry::CoInitializeCount() - initialised, 1);
  EXPECT_EQ(registry::CoUninitializeCount() - uninitialised, 1);
  EXPECT_EQ(atEnd, "loop level 0, uninitialised 1, window there, number '';");
  EXPECT_EQ(qt::LoadedWindow(), nullptr);
}

}  // namespace
}  // namespace quillo

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(filter) == "StartUp.*") return RUN_ALL_TESTS();
  quillo::qt::PrepareToolkit();  // as the program does
  QApplication application(argc, argv);
  return quillo::Exit(RUN_ALL_TESTS());
}

#include "gui_test.moc"
