#include "platform/drivers/x11/X11Identity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <limits.h>
#include <unistd.h>

#include <cstring>

namespace hkx11 {

std::string ProgramName() {
  static const std::string name = [] {
    std::string path;
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<size_t>(n));
    // An executable replaced while it runs is still the same program.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
    std::string base = path.substr(path.find_last_of('/') + 1);
    if (base.empty() && program_invocation_short_name != nullptr) base = program_invocation_short_name;
    return base.empty() ? std::string("hanakumo") : base;
  }();
  return name;
}

void SetWindowIdentity(Display* d, Window w) {
  std::string name = ProgramName();
  XClassHint cls{name.data(), name.data()};
  XSetClassHint(d, w, &cls);
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) == 0 && host[0] != 0) {
    char* list[] = {host};
    XTextProperty text{};
    if (XStringListToTextProperty(list, 1, &text)) {
      XSetWMClientMachine(d, w, &text);
      XFree(text.value);
    }
  }
  long pid = static_cast<long>(getpid());
  XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
}

}  // namespace hkx11
