// The GUI runtime over Qt 6 Widgets: builds the window from its table, runs the message loop
// and serves control texts and window handles. Everything runs on the GUI thread.
#include "gui_runtime_qt.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QIcon>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "browser_engine.h"
#include "edit_box.h"
#include "engine_loader.h"
#include "form_window.h"
#include "gui_runtime.h"
#include "hyperlink_box.h"
#include "process_switches.h"
#include "window_registry.h"
#include "window_rules.h"

namespace quillo {
namespace {

// Raises event -1 (left button down) of a control or of the window.
class LeftButtonRelay : public QObject {
 public:
  LeftButtonRelay(EventHandler handler, QObject* parent)
      : QObject(parent), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* press = static_cast<QMouseEvent*>(event);
      if (press->button() == Qt::LeftButton) {
        const Qt::KeyboardModifiers keys = press->modifiers();
        const std::int32_t arguments[] = {
            press->position().toPoint().x(), press->position().toPoint().y(),
            rules::ModifierMask(keys & Qt::ControlModifier, keys & Qt::ShiftModifier,
                                keys & Qt::AltModifier)};
        handler_(arguments);
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  EventHandler handler_;
};

struct Runtime {
  // Qt keeps references to these for the application's lifetime.
  int argc = 1;
  char name[7] = "quillo";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> application;  // only when the runtime started the toolkit
  std::unique_ptr<qt::FormWindow> window;
  std::map<std::string, QPointer<QWidget>, std::less<>> controls;
  // The browser boxes by name, while they stand in the window (their widgets are controls).
  std::map<std::string, qt::EngineBox*, std::less<>> boxes;
  const WindowSpec* spec = nullptr;
  // The calling boxes whose call button the user has pressed, boxes started or not.
  std::set<std::string, std::less<>> callAsked;
  // The browser engine, from its module, with its profiles. Loaded after the window's first
  // paint; the profiles are destroyed after the boxes and their pages.
  std::unique_ptr<qt::BrowserEngine> engine;
  // When drawing through GL, a hidden GL widget in the window until the boxes come: the
  // engine's render widgets then draw through GL, and a window shown without one would be
  // made anew when they arrive.
  QPointer<QWidget> surfaceKeeper;
};

Runtime& runtime() {
  static Runtime instance;
  return instance;
}

QColor ToColour(const Rgb& colour) { return QColor(colour.red, colour.green, colour.blue); }

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void ConnectEvents(QWidget* widget, const std::vector<EventBinding>& events) {
  for (const EventBinding& binding : events) {
    if (binding.event == kLeftButtonDownEvent) {
      widget->installEventFilter(new LeftButtonRelay(binding.handler, widget));
    } else if (auto* button = qobject_cast<QPushButton*>(widget);
               button && binding.event == kClickEvent) {
      QObject::connect(button, &QPushButton::clicked, button,
                       [handler = binding.handler] { handler({}); });
    }
  }
}

QWidget* CreateControl(const ControlSpec& spec, const WindowSpec& window, QWidget* parent) {
  const QString caption = FromUtf8(spec.caption);
  QWidget* widget = nullptr;
  switch (spec.kind) {
    case ControlKind::EditBox: {
      auto* edit = new qt::EditBox(caption, parent);
      widget = edit;
      break;
    }
    case ControlKind::Button:
      widget = new QPushButton(caption, parent);
      break;
    case ControlKind::HyperlinkBox: {
      auto* link = new qt::HyperlinkBox(caption, qt::ResolveAddress(spec.address), parent);
      if (spec.linkColours) link->setLinkColours(*spec.linkColours);
      widget = link;
      break;
    }
    case ControlKind::TransparentLabel: {
      auto* label = new QLabel(caption, parent);
      label->setAutoFillBackground(false);  // the window shows through
      widget = label;
      break;
    }
    case ControlKind::BrowserBox:
      // A plain stand-in until the engine starts, right after the window's first paint.
      widget = new QWidget(parent);
      widget->setAutoFillBackground(true);
      widget->setBackgroundRole(QPalette::Base);
      break;
  }
  widget->setObjectName(FromUtf8(spec.name));
  widget->setAccessibleName(caption.isEmpty() ? FromUtf8(spec.name) : caption);
  // Tab reaches the controls of the tab order; other focusable ones take the focus only from
  // a click, and a control the user cannot see never takes it.
  const rules::Placement place = rules::Place(spec, window);
  widget->setGeometry(place.left, place.top, place.width, place.height);
  widget->setFocusPolicy(place.tabStop      ? Qt::StrongFocus
                         : place.takesFocus ? Qt::ClickFocus
                                            : Qt::NoFocus);
  if (spec.textColour || spec.backgroundColour) {
    QPalette colours = widget->palette();
    if (spec.textColour) {
      colours.setColor(QPalette::Text, ToColour(*spec.textColour));
      colours.setColor(QPalette::WindowText, ToColour(*spec.textColour));
      colours.setColor(QPalette::ButtonText, ToColour(*spec.textColour));
    }
    if (spec.backgroundColour) {
      colours.setColor(QPalette::Base, ToColour(*spec.backgroundColour));
      colours.setColor(QPalette::Button, ToColour(*spec.backgroundColour));
    }
    widget->setPalette(colours);
  }
  widget->setVisible(place.shown);
  ConnectEvents(widget, spec.events);
  return widget;
}

QIcon LoadIcon(std::string_view name) {
  QIcon icon;
  const QDir images(QStringLiteral(":/icons/") + FromUtf8(name));
  for (const QString& file : images.entryList({QStringLiteral("*.png")}, QDir::Files)) {
    icon.addFile(images.filePath(file));
  }
  return icon;
}

// Tab moves among the controls of the window's tab order.
void ApplyTabOrder() {
  Runtime& r = runtime();
  std::vector<QPointer<QWidget>> chain;
  for (std::string_view name : r.spec->tabOrder) {
    if (QWidget* widget = qt::ControlWidget(name)) chain.emplace_back(widget);
  }
  r.window->setTabChain(std::move(chain));
}

// Takes a widget out of the window at once and deletes it later.
void Discard(QWidget* widget) {
  widget->hide();
  widget->setParent(nullptr);
  widget->deleteLater();
}

// The user pressed the call button of the calling box name.
void AllowMicrophone(const std::string& name) {
  Runtime& r = runtime();
  r.callAsked.insert(name);
  if (const auto box = r.boxes.find(name); box != r.boxes.end()) box->second->allowMicrophone();
}

// Ends the page messages that wait for the user; true when one did.
bool EndPageMessages() {
  Runtime& r = runtime();
  bool ended = false;
  for (const auto& [name, box] : r.boxes) ended = box->endMessage() || ended;
  return ended;
}

// Replaces each browser box's stand-in with the box, in the same place of the window's order.
void StartBrowserBoxes() {
  Runtime& r = runtime();
  if (r.window == nullptr || !r.window->isVisible() || r.spec == nullptr || r.engine != nullptr) {
    return;
  }
  r.engine = qt::LoadEngine();
  if (r.engine == nullptr) return;
  for (const ControlSpec& spec : r.spec->controls) {
    if (spec.kind != ControlKind::BrowserBox) continue;
    QPointer<QWidget>& slot = r.controls[std::string(spec.name)];
    const rules::BoxRole role = rules::RoleOf(spec);
    qt::EngineBox* made = r.engine->createBox(qt::ResolveAddress(spec.address), r.window.get(),
                                              {.ownProfile = role.ownProfile,
                                               .playsWithoutGesture = spec.playsWithoutGesture,
                                               .calling = role.calling});
    r.boxes[std::string(spec.name)] = made;
    if (r.callAsked.contains(spec.name)) made->allowMicrophone();
    QWidget* box = made->widget();
    box->setObjectName(slot->objectName());
    box->setAccessibleName(slot->accessibleName());
    box->setGeometry(slot->geometry());
    box->setFocusPolicy(slot->focusPolicy());
    if (slot->focusPolicy() == Qt::NoFocus) made->refuseFocus();
    box->stackUnder(slot);
    box->setVisible(slot->isVisibleTo(r.window.get()));
    ConnectEvents(box, spec.events);
    Discard(slot);
    slot = box;
  }
  if (r.surfaceKeeper != nullptr) Discard(r.surfaceKeeper);
  ApplyTabOrder();
}

// Destroys the browser boxes, then their pages, then the profiles, while events are still
// handled: the engine deletes parts of a view later, and a page must not outlive its profile.
void StopBrowserBoxes() {
  Runtime& r = runtime();
  if (r.engine == nullptr) return;
  for (const auto& [name, box] : std::exchange(r.boxes, {})) box->widget()->deleteLater();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  r.engine.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void StartToolkit() {
  Runtime& r = runtime();
  if (QCoreApplication::instance() != nullptr) return;
  qt::PrepareToolkit();
  r.application = std::make_unique<QApplication>(r.argc, r.argv);
}

}  // namespace

void LoadWindow(const WindowSpec& spec) {
  StartToolkit();
  Runtime& r = runtime();
  StopBrowserBoxes();
  r.controls.clear();
  r.window.reset();
  r.spec = &spec;
  SetProcessPendingMessagesHook([](std::chrono::milliseconds time) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (time <= std::chrono::milliseconds(0)) return;
    // Everything runs meanwhile, as in the message loop; closing the window ends the wait.
    QEventLoop loop;
    QTimer::singleShot(time, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (qt::FormWindow* window = runtime().window.get()) {
      QObject::connect(window, &qt::FormWindow::closed, &loop, &QEventLoop::quit);
    }
    loop.exec();
  });

  auto window = std::make_unique<qt::FormWindow>();
  window->setObjectName(FromUtf8(spec.name));
  window->setWindowTitle(FromUtf8(spec.caption));
  window->setWindowIcon(LoadIcon(spec.icon));
  window->setFont(qt::GuiFont());
  window->setFixedSize(spec.clientWidth, spec.clientHeight);
  window->move(spec.left, spec.top);
  for (const ControlSpec& control : spec.controls) {
    r.controls[std::string(control.name)] = CreateControl(control, spec, window.get());
  }
  ConnectEvents(window.get(), spec.events);
  r.callAsked.clear();
  // Qt runs a signal's slots in the order they were connected: the click's handler (PlaceCall)
  // first, then this one. A microphone request the click itself raised waits through the
  // press and is granted as it ends; later requests are granted at once.
  for (const ControlSpec& control : spec.controls) {
    auto* button = qobject_cast<QPushButton*>(qt::ControlWidget(control.callButton));
    if (button == nullptr) continue;
    QObject::connect(button, &QPushButton::clicked, button,
                     [name = std::string(control.name)] { AllowMicrophone(name); });
  }
  if (!qt::DrawsInSoftware()) {
    r.surfaceKeeper = new QOpenGLWidget(window.get());
    r.surfaceKeeper->hide();
  }
  qt::AfterFirstPaint(window.get(), [] { StartBrowserBoxes(); });
  r.window = std::move(window);
  ApplyTabOrder();
  r.window->show();
  rules::Raise(spec.events, kCreatedEvent);
}

void RunMessageLoop() {
  qt::FormWindow* window = runtime().window.get();
  if (window == nullptr || !window->isVisible()) return;
  QEventLoop loop;
  QObject::connect(window, &qt::FormWindow::closed, &loop, [&loop] {
    // A page message waits in a loop of its own, inside the engine's callback: it ends, and
    // the boxes go in Exit, once that has unwound. Otherwise the engine's objects go now,
    // while events are still handled.
    if (!EndPageMessages()) StopBrowserBoxes();
    loop.quit();
  });
  loop.exec();
}

void TearDownRuntime() {
  Runtime& r = runtime();
  registry::ForgetUnclaimedResults();  // document answers nobody claimed, before their pages go
  StopBrowserBoxes();  // the boxes, their pages and the profiles go before the engine does
  r.controls.clear();
  r.window.reset();
  r.spec = nullptr;
  r.application.reset();
}

Text ReadControlText(std::string_view name) {
  QWidget* widget = qt::ControlWidget(name);
  QString text;
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    text = edit->text();
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    text = button->text();
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    text = label->text();
  }
  return TextFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<size_t>(text.size())));
}

void WriteControlText(std::string_view name, std::string_view text) {
  const std::u16string utf16 = TextToUtf16(text);
  const QString value(reinterpret_cast<const QChar*>(utf16.data()),
                      static_cast<qsizetype>(utf16.size()));
  QWidget* widget = qt::ControlWidget(name);
  if (auto* edit = qobject_cast<qt::EditBox*>(widget)) {
    edit->replaceText(value);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
  }
}

std::int32_t ControlWindowHandle(std::string_view name) {
  const auto& boxes = runtime().boxes;
  const auto box = boxes.find(name);
  return box == boxes.end() ? 0 : box->second->registryHandle();
}

namespace qt {

QWidget* LoadedWindow() { return runtime().window.get(); }

bool BrowserBoxesStarted() { return runtime().engine != nullptr; }

QWidget* ControlWidget(std::string_view name) {
  const auto& controls = runtime().controls;
  auto found = controls.find(name);
  return found == controls.end() ? nullptr : found->second.data();
}

QString PagesFolder() {
  return QString::fromStdU16String(
      rules::PagesFolder(QCoreApplication::applicationDirPath().toStdU16String(), u'/'));
}

QUrl ResolveAddress(std::string_view address) {
  const rules::PageAddress split = rules::SplitAddress(address);
  if (!split.builtIn) return QUrl(FromUtf8(split.path));
  QUrl url = QUrl::fromLocalFile(PagesFolder() + u'/' + FromUtf8(split.path));
  if (split.query) url.setQuery(FromUtf8(*split.query));
  return url;
}

QFont GuiFont() {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(rules::kFontPixels);
  return font;
}

}  // namespace qt
}  // namespace quillo
