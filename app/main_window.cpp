#include "main_window.h"

#include "addresses.h"
#include "dialer.h"

namespace quillo::app {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kAmber{192, 96, 0};
constexpr Rgb kViolet{88, 48, 224};
// Link colours: normal, pointer over it, visited.
constexpr LinkColours kLinkColours{{0, 0, 255}, {128, 0, 0}, {119, 208, 252}};
constexpr LinkColours kHiddenLinkColours{{0, 0, 255}, {128, 0, 0}, {49, 106, 197}};

// A handler that takes no arguments, bound to event.
EventBinding On(int event, void (*handler)()) {
  return {event, [handler](std::span<const std::int32_t>) { handler(); }};
}

EventBinding Key(std::string_view key) {
  return {kClickEvent, [key](std::span<const std::int32_t>) { AppendKey(key); }};
}

// clang-format off
ControlSpec DialKey(std::string_view name, int left, int top, std::string_view key) {
  return {.name = name, .kind = ControlKind::Button, .left = left, .top = top, .width = 48,
          .height = 24, .shown = true, .focusable = true, .caption = key, .address = {},
          .events = {Key(key)}};
}

ControlSpec Label(std::string_view name, int left, int top, int width,
                  std::string_view caption, const Rgb& colour) {
  return {.name = name, .kind = ControlKind::TransparentLabel, .left = left, .top = top,
          .width = width, .height = 16, .shown = true, .focusable = false, .caption = caption,
          .address = {}, .textColour = colour, .events = {}};
}

ControlSpec Browser(std::string_view name, int left, int top, int width, int height,
                    bool shown, std::string_view page) {
  return {.name = name, .kind = ControlKind::BrowserBox, .left = left, .top = top,
          .width = width, .height = height, .shown = shown, .focusable = true, .caption = {},
          .address = page, .events = {}};
}

ControlSpec Link(std::string_view name, int left, int top, int width, int height, bool shown,
                 std::string_view caption, std::string_view target,
                 const LinkColours& colours) {
  return {.name = name, .kind = ControlKind::HyperlinkBox, .left = left, .top = top,
          .width = width, .height = height, .shown = shown, .focusable = false,
          .caption = caption, .address = target, .linkColours = colours, .events = {}};
}

WindowSpec Build() {
  WindowSpec window{.name = "MainWindow",
                    .caption = "Quillo BY中国人，中国范~",
                    .left = 50,
                    .top = 50,
                    .clientWidth = 344,
                    .clientHeight = 252,
                    .icon = "quillo",
                    .events = {On(kCreatedEvent, DoNothing)},
                    .controls = {},
                    .tabOrder = {}};
  ControlSpec calling = Browser("超文本浏览框1", 376, 120, 32, 24, false, kCallingPage);
  calling.playsWithoutGesture = true;  // the program clicks for the user
  calling.callButton = kCallButton;    // the user asks for a call: the page may hear them
  ControlSpec feedback = Link("超级链接框3", 256, 14, 72, 24, true, "问题反馈", kAuthorPage,
                              kLinkColours);
  feedback.events = {{kLeftButtonDownEvent, [](std::span<const std::int32_t> arguments) {
                        if (arguments.size() == 3) {
                          IgnoreMouse(arguments[0], arguments[1], arguments[2]);
                        }
                      }}};
  ControlSpec number{.name = kNumberBox, .kind = ControlKind::EditBox, .left = 16, .top = 32,
                     .width = 160, .height = 24, .shown = true, .focusable = true,
                     .caption = "", .address = {}, .textColour = kBlack,
                     .backgroundColour = kWhite, .events = {}};
  ControlSpec call{.name = kCallButton, .kind = ControlKind::Button, .left = 96, .top = 186,
                   .width = 80, .height = 32, .shown = true, .focusable = true,
                   .caption = "拨号", .address = {}, .events = {On(kClickEvent, PlaceCall)}};
  window.controls = {
      Browser("超文本浏览框3", 48, 304, 40, 24, true, kAuthorPage),
      Browser("超文本浏览框2", 184, 40, 160, 208, true, kPartnerPage),
      feedback,
      Link("超级链接框2", 184, 14, 64, 24, true, "访问Tavenor", kPartnerPage, kLinkColours),
      calling,
      Link("超级链接框1", 352, 88, 32, 16, false, "", kProfilePage, kHiddenLinkColours),
      DialKey("按钮加号键", 16, 191, "+"),
      Label("透明标签3", 12, 8, 176, "中国手机号要在号码前加“+86”", kRed),
      Label("透明标签2", 10, 236, 177, "每台电脑每天只能打一次、2分钟", kViolet),
      Label("透明标签1", 11, 221, 176, "接通耳机或话筒，拨打电话免费", kAmber),
      call,
      DialKey("按钮井号键", 128, 159, "#"),
      DialKey("按钮米子键", 16, 159, "*"),
      DialKey("按钮0", 72, 159, "0"),
      DialKey("按钮9", 128, 127, "9"),
      DialKey("按钮8", 72, 127, "8"),
      DialKey("按钮7", 16, 127, "7"),
      DialKey("按钮6", 128, 95, "6"),
      DialKey("按钮5", 72, 95, "5"),
      DialKey("按钮4", 16, 95, "4"),
      DialKey("按钮3", 128, 63, "3"),
      DialKey("按钮2", 72, 63, "2"),
      DialKey("按钮1", 16, 63, "1"),
      number,
  };
  // Down the left column (the number box, the dial pad row by row, the call button), then
  // the partner box on the right.
  window.tabOrder = {kNumberBox, "按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮6",
                     "按钮7", "按钮8", "按钮9", "按钮米子键", "按钮0", "按钮井号键",
                     "按钮加号键", kCallButton, "超文本浏览框2"};
  return window;
}
// clang-format on

}  // namespace

const WindowSpec& MainWindow() {
  static const WindowSpec window = Build();
  return window;
}

}  // namespace quillo::app
