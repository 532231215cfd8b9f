// Starts a program and watches its window's pixels: prints the program's process id, then the
// milliseconds from exec until its dial pad is painted (each of the twelve keys shows a light
// face with a dark caption), and with "--partner" until the partner box shows its page (the
// page's blue heading). The program is left running.
//   quillo_paint_probe [--partner] program [arguments...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Box {
  int left, top, width, height;
};

struct ImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using Image = std::unique_ptr<XImage, ImageDeleter>;

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

long WindowPid(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  long pid = -1;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (count == 1) pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
  }
  return pid;
}

// The parent of a process, or 0.
long ParentOf(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t name = line.rfind(')');  // the name in brackets may hold anything
  if (name == std::string::npos) return 0;
  std::istringstream rest(line.substr(name + 1));
  std::string state;
  long parent = 0;
  rest >> state >> parent;
  return parent;
}

// True when process at is pid or below it: Wine runs a program in a process of its own
// below the one started.
bool Descends(long at, long pid) {
  for (int depth = 0; at > 1 && depth < 16; ++depth, at = ParentOf(at)) {
    if (at == pid) return true;
  }
  return false;
}

// The viewable top-level window of process pid (or of one below it), below the window
// manager's frames.
Window FindWindow(Display* display, Window at, long pid) {
  if (Descends(WindowPid(display, at), pid)) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, at, &attributes) && attributes.map_state == IsViewable &&
        attributes.width == 344) {
      return at;
    }
  }
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, at, &root, &parent, &children, &count)) return 0;
  const std::vector<Window> list(children, children + count);
  if (children != nullptr) XFree(children);
  for (Window child : list) {
    if (Window found = FindWindow(display, child, pid)) return found;
  }
  return 0;
}

int Luminance(unsigned long pixel) {
  return static_cast<int>(((pixel >> 16) & 0xff) * 3 + ((pixel >> 8) & 0xff) * 6 + (pixel & 0xff)) /
         10;
}

// A key is drawn when most of its face is light and its caption puts darker pixels on it.
bool KeyDrawn(XImage* image, const Box& key) {
  int light = 0, dark = 0, all = 0;
  for (int y = key.top + 3; y < key.top + key.height - 3; ++y) {
    for (int x = key.left + 3; x < key.left + key.width - 3; ++x) {
      const int value = Luminance(XGetPixel(image, x, y));
      light += value > 200;
      dark += value < 160;  // thin captions (Wine draws them light grey) count too
      ++all;
    }
  }
  return light * 2 > all && dark >= 3;
}

bool DialPadDrawn(XImage* image) {
  for (int i = 0; i < 12; ++i) {
    if (!KeyDrawn(image, {16 + 56 * (i % 3), 63 + 32 * (i / 3), 48, 24})) return false;
  }
  return true;
}

// The partner page's heading is blue; nothing else in the box is.
bool PartnerDrawn(XImage* image) {
  int blue = 0;
  for (int y = 40; y < 248; ++y) {
    for (int x = 184; x < 344; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const int red = static_cast<int>((pixel >> 16) & 0xff), b = static_cast<int>(pixel & 0xff);
      blue += b > 150 && red < 90;
    }
  }
  return blue >= 20;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const bool partner = argc > 1 && std::strcmp(argv[1], "--partner") == 0;
  if (partner) ++first;
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--partner] program [arguments...]\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  XSetErrorHandler(IgnoreErrors);
  pid_t pid = 0;
  const Clock::time_point start = Clock::now();
  // The program writes to our standard error only: whoever reads our output must not wait
  // for the program to end.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, 2, 1);
  const int spawned = posix_spawn(&pid, argv[first], &actions, nullptr, argv + first, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return 2;
  std::printf("pid %d\n", static_cast<int>(pid));
  std::fflush(stdout);
  const auto elapsedMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  };
  bool padDone = false;
  while (elapsedMs() < 60000) {
    if (Window window = FindWindow(display, DefaultRootWindow(display), pid)) {
      Image image(XGetImage(display, window, 0, 0, 344, 252, AllPlanes, ZPixmap));
      if (image != nullptr) {
        if (!padDone && DialPadDrawn(image.get())) {
          std::printf("dial_pad_ms %lld\n", static_cast<long long>(elapsedMs()));
          std::fflush(stdout);
          padDone = true;
          if (!partner) return 0;
        }
        if (padDone && PartnerDrawn(image.get())) {
          std::printf("partner_ms %lld\n", static_cast<long long>(elapsedMs()));
          return 0;
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::printf("timed out\n");
  return 1;
}
