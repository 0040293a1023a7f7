// Per-thread message queues, sending and posting, and the message loop.
#include <poll.h>
#include "platform/AsciiCase.h"
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/Driver.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/Session.h"
#include "platform/WindowInternals.h"

namespace hkwin {
namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_map<DWORD, std::weak_ptr<TThreadQueue>>& Registry() {
  static std::unordered_map<DWORD, std::weak_ptr<TThreadQueue>> registry;
  return registry;
}

// Keeps the calling thread's queue alive until the thread ends.
struct TQueueHolder {
  PThreadQueue Queue;
  ~TQueueHolder() {
    if (!Queue) return;
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry().erase(Queue->ThreadId);
  }
};
thread_local TQueueHolder tQueue;

// How often an idle PeekMessage looks at the display.
constexpr uint64_t kPollIntervalMs = 4;
thread_local uint64_t tLastPoll = 0;
thread_local uint64_t tLastPresent = 0;

bool MatchesFilter(HWND msgHwnd, HWND filter, UINT msg, UINT minMsg, UINT maxMsg) {
  if (minMsg != 0 || maxMsg != 0) {
    if (msg < minMsg || msg > maxMsg) return false;
  }
  if (filter == nullptr) return true;
  if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return msgHwnd == nullptr;
  return msgHwnd == filter || IsChild(filter, msgHwnd);
}

// Runs messages sent to this thread from other threads.
bool RunSentMessages(TThreadQueue& q) {
  bool any = false;
  for (;;) {
    std::shared_ptr<TSentMessage> sent;
    {
      std::lock_guard<std::mutex> guard(q.Lock);
      if (q.Sent.empty()) break;
      sent = q.Sent.front();
      q.Sent.pop_front();
    }
    any = true;
    LRESULT result = 0;
    PWindow w = Find(sent->Hwnd);
    if (w && w->Proc) {
      ++q.InSend;
      try {
        result = CallProc(w->Proc, sent->Hwnd, sent->Msg, sent->WParam, sent->LParam);
      } catch (...) {
        result = 0;
      }
      --q.InSend;
    }
    PThreadQueue sender = sent->Sender;
    {
      std::lock_guard<std::mutex> guard(sender->Lock);
      sent->Result = result;
      sent->Done = true;
      sender->Replied.notify_all();
    }
    WakeQueue(*sender);
    sent->Sender.reset();
  }
  return any;
}

// The display is polled on real time, whichever clock the platform shows.
void PollDisplay(bool force, uint64_t now) {
  if (!force && now - tLastPoll < kPollIntervalMs) return;
  if (GetCurrentThreadId() != InputThread()) return;
  tLastPoll = now;
  Driver().Poll();
}

// Looks for the next message for GetMessage/PeekMessage. Returns true and
// fills `out` when there is one.
bool FindMessage(TThreadQueue& q, MSG* out, HWND filter, UINT minMsg, UINT maxMsg, bool remove, bool forcePoll) {
  // The session's end reaches the windows from whichever loop runs now.
  DeliverSessionEnd();
  uint64_t real = RealNowMs();
  uint32_t stamp = q.Stamp.load(std::memory_order_acquire);
  bool quiet = stamp == q.EmptyStamp;
  if (!quiet) RunSentMessages(q);
  // Posted messages.
  if (!quiet) {
    std::lock_guard<std::mutex> guard(q.Lock);
    if (q.Posted.empty() && q.Sent.empty() && !q.QuitPosted) q.EmptyStamp = stamp;
    for (auto it = q.Posted.begin(); it != q.Posted.end(); ++it) {
      if (MatchesFilter(it->hwnd, filter, it->message, minMsg, maxMsg)) {
        *out = *it;
        if (remove) q.Posted.erase(it);
        return true;
      }
    }
  }
  // Input from the display or a test.
  PollDisplay(forcePoll, real);
  if (q.ThreadId == InputThread()) {
    bool converted = false;
    while (RawInputPending()) {
      if (!ProcessOneRawInput()) break;
      converted = true;
      std::lock_guard<std::mutex> guard(q.Lock);
      if (!q.Posted.empty()) break;
    }
    if (converted) {
      RunSentMessages(q);
      std::lock_guard<std::mutex> guard(q.Lock);
      for (auto it = q.Posted.begin(); it != q.Posted.end(); ++it) {
        if (MatchesFilter(it->hwnd, filter, it->message, minMsg, maxMsg)) {
          *out = *it;
          if (remove) q.Posted.erase(it);
          return true;
        }
      }
    }
  }
  // WM_QUIT once nothing is posted.
  if (!quiet) {
    std::lock_guard<std::mutex> guard(q.Lock);
    if (q.QuitPosted && (minMsg == 0 && maxMsg == 0 ? true : (WM_QUIT >= minMsg && WM_QUIT <= maxMsg))) {
      *out = MSG{};
      out->message = WM_QUIT;
      out->wParam = static_cast<WPARAM>(q.QuitCode);
      out->time = NowTick();
      if (remove) q.QuitPosted = false;
      return true;
    }
  }
  // Paint.
  if (MatchesFilter(filter, filter, WM_PAINT, minMsg, maxMsg) || filter == nullptr) {
    if ((minMsg == 0 && maxMsg == 0) || (WM_PAINT >= minMsg && WM_PAINT <= maxMsg)) {
      if (q.PaintHint.load(std::memory_order_relaxed)) {
        HWND pw = FindPaintWindow(q.ThreadId, filter);
        if (pw != nullptr) {
          *out = MSG{};
          out->hwnd = pw;
          out->message = WM_PAINT;
          out->time = NowTick();
          return true;
        }
        q.PaintHint = false;
      }
    }
  }
  // Timers.
  if ((minMsg == 0 && maxMsg == 0) || (WM_TIMER >= minMsg && WM_TIMER <= maxMsg)) {
    if (TakeDueTimer(q.ThreadId, filter, remove, out, IsVirtualClock() ? ClockNowMs() : real)) return true;
  }
  if ((minMsg == 0 && maxMsg == 0) || (WM_MOUSEHOVER >= minMsg && WM_MOUSEHOVER <= maxMsg)) {
    if (TakeHover(q.ThreadId, out, remove)) return true;
  }
  return false;
}

// Waits until something may have arrived for the thread.
void WaitForInput(TThreadQueue& q, uint32_t stampSeen) {
  if (q.ThreadId == InputThread()) PresentDirty();
  q.Waiting = true;
  // Whatever came after the last look must not be slept through.
  if (q.Stamp.load() != stampSeen || (q.ThreadId == InputThread() && RawInputPending())) {
    q.Waiting = false;
    return;
  }
  int timeout = -1;
  uint64_t due = NextTimerDue(q.ThreadId);
  if (due != UINT64_MAX && !IsVirtualClock()) {
    uint64_t now = ClockNowMs();
    timeout = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(due - now, INT_MAX));
  }
  pollfd fds[2];
  int n = 0;
  fds[n++] = pollfd{q.WakeFd, POLLIN, 0};
  int displayFd = q.ThreadId == InputThread() ? Driver().EventFd() : -1;
  if (displayFd >= 0) fds[n++] = pollfd{displayFd, POLLIN, 0};
  // Without a display to wake us, input can only come from our own thread or
  // a post; hover and drags still want a look now and then.
  if (displayFd >= 0 && timeout < 0) timeout = 250;
  if (displayFd >= 0) {
    const int look = Driver().NextLookMs();
    if (look >= 0 && (timeout < 0 || look < timeout)) timeout = look;
  }
  // A reply read with them may have left events in the display's own queue.
  if (displayFd >= 0 && Driver().EventsQueued()) timeout = 0;
  int r = ::poll(fds, static_cast<nfds_t>(n), timeout);
  q.Waiting = false;
  if (r > 0 && (fds[0].revents & POLLIN)) {
    uint64_t value;
    ssize_t got = ::read(q.WakeFd, &value, sizeof value);
    (void)got;
  }
  if (displayFd >= 0) PollDisplay(true, RealNowMs());
}

}  // namespace

TThreadQueue::~TThreadQueue() {
  if (WakeFd >= 0) ::close(WakeFd);
}

PThreadQueue QueueOf(DWORD threadId) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  auto it = Registry().find(threadId);
  return it == Registry().end() ? nullptr : it->second.lock();
}

TThreadQueue& CurrentQueueRef() {
  if (!tQueue.Queue) CurrentQueue();
  return *tQueue.Queue;
}

PThreadQueue CurrentQueue() {
  if (!tQueue.Queue) {
    auto q = std::make_shared<TThreadQueue>();
    q->ThreadId = GetCurrentThreadId();
    q->WakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry()[q->ThreadId] = q;
    tQueue.Queue = q;
  }
  return tQueue.Queue;
}

void WakeQueue(TThreadQueue& q) {
  q.Stamp.fetch_add(1);
  if (q.WakeFd < 0 || !q.Waiting.load()) return;
  uint64_t one = 1;
  ssize_t put = ::write(q.WakeFd, &one, sizeof one);
  (void)put;
}

void WakeAllQueues() {
  std::vector<PThreadQueue> queues;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    for (auto& [id, weak] : Registry())
      if (auto q = weak.lock()) queues.push_back(q);
  }
  for (auto& q : queues) WakeQueue(*q);
}

void PostToQueue(TThreadQueue& q, const MSG& msg) {
  {
    std::lock_guard<std::mutex> guard(q.Lock);
    q.Posted.push_back(msg);
  }
  WakeQueue(q);
}

DWORD NowTick() { return GetTickCount(); }

bool PostInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD lPrivate) {
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return false;
  PThreadQueue q = QueueOf(w->ThreadId);
  if (!q) return false;
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = NowTick();
  POINT pt{};
  GetCursorPos(&pt);
  msg.pt = pt;
  msg.lPrivate = lPrivate;
  PostToQueue(*q, msg);
  return true;
}

DWORD StoreKeyText(TThreadQueue& q, const std::u16string& text) {
  std::lock_guard<std::mutex> guard(q.Lock);
  DWORD slot = q.NextKeyText++ % static_cast<DWORD>(q.KeyTexts.size());
  q.KeyTexts[slot] = text;
  return slot + 1;
}

void ResetQueues() {
  PThreadQueue q = CurrentQueue();
  std::lock_guard<std::mutex> guard(q->Lock);
  q->Posted.clear();
  q->QuitPosted = false;
  q->QuitCode = 0;
  q->PaintHint = false;
}

}  // namespace hkwin

using namespace hkwin;

DWORD GetCurrentThreadId() {
  thread_local DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
  return id;
}

namespace {
std::vector<HWND> BroadcastTargets() {
  std::vector<HWND> targets;
  Windows().ForEach([&](HWND h, const PWindow& w) {
    if (!w->Foreign && IsTopLevel(*w)) targets.push_back(h);
  });
  return targets;
}
}  // namespace

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : BroadcastTargets()) SendMessageA(h, msg, wParam, lParam);
    return 0;
  }
  PWindow w = Find(hwnd);
  if (!w || w->Foreign) return 0;
  DWORD self = GetCurrentThreadId();
  if (w->ThreadId == self) {
    if (!w->Proc) return 0;
    return CallProc(w->Proc, hwnd, msg, wParam, lParam);
  }
  // Another thread's window: its thread runs the procedure; we wait, and go
  // on answering what is sent to us meanwhile so two threads never deadlock.
  PThreadQueue target = QueueOf(w->ThreadId);
  if (!target) return 0;
  PThreadQueue mine = CurrentQueue();
  auto sent = std::make_shared<TSentMessage>();
  sent->Hwnd = hwnd;
  sent->Msg = msg;
  sent->WParam = wParam;
  sent->LParam = lParam;
  sent->Sender = mine;
  {
    std::lock_guard<std::mutex> guard(target->Lock);
    target->Sent.push_back(sent);
  }
  WakeQueue(*target);
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(mine->Lock);
      if (sent->Done) break;
    }
    if (!IsWindow(hwnd)) {
      // The window went away before its thread answered.
      std::lock_guard<std::mutex> guard(target->Lock);
      auto it = std::find(target->Sent.begin(), target->Sent.end(), sent);
      if (it != target->Sent.end()) {
        target->Sent.erase(it);
        sent->Sender.reset();
        return 0;
      }
    }
    RunSentMessages(*mine);
    std::unique_lock<std::mutex> lock(mine->Lock);
    if (!sent->Done && mine->Sent.empty()) mine->Replied.wait_for(lock, std::chrono::milliseconds(5));
  }
  return sent->Result;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == nullptr) return PostThreadMessageA(GetCurrentThreadId(), msg, wParam, lParam);
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : BroadcastTargets()) PostInternal(h, msg, wParam, lParam);
    return TRUE;
  }
  return PostInternal(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  PThreadQueue q = threadId == GetCurrentThreadId() ? CurrentQueue() : QueueOf(threadId);
  if (!q) return FALSE;
  MSG msg{};
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = NowTick();
  PostToQueue(*q, msg);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  PThreadQueue q = CurrentQueue();
  {
    std::lock_guard<std::mutex> guard(q->Lock);
    q->QuitPosted = true;
    q->QuitCode = exitCode;
  }
  WakeQueue(*q);
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) return -1;
  if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1)) && !IsWindow(hwnd)) return -1;
  PThreadQueue q = CurrentQueue();
  bool forcePoll = true;
  for (;;) {
    uint32_t seen = q->Stamp.load();
    if (FindMessage(*q, msg, hwnd, filterMin, filterMax, true, forcePoll)) {
      q->LastTime = msg->time;
      q->LastPos = msg->pt;
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    WaitForInput(*q, seen);
    forcePoll = false;
  }
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) return FALSE;
  TThreadQueue* q = &CurrentQueueRef();
  if (FindMessage(*q, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false)) {
    if (removeFlags & PM_REMOVE) {
      q->LastTime = msg->time;
      q->LastPos = msg->pt;
    }
    return TRUE;
  }
  // Idle: what was drawn reaches the display, at the poll's pace.
  // (once for each poll of the display, so at most every few milliseconds)
  if (tLastPoll != tLastPresent && q->ThreadId == InputThread()) {
    tLastPresent = tLastPoll;
    PresentDirty();
  }
  return FALSE;
}

BOOL WaitMessage() {
  PThreadQueue q = CurrentQueue();
  MSG msg;
  uint32_t seen = q->Stamp.load();
  if (FindMessage(*q, &msg, nullptr, 0, 0, false, true)) return TRUE;
  WaitForInput(*q, seen);
  return TRUE;
}

DWORD GetQueueStatus(UINT flags) {
  PThreadQueue q = CurrentQueue();
  DWORD status = 0;
  {
    std::lock_guard<std::mutex> guard(q->Lock);
    if (!q->Posted.empty() || q->QuitPosted) status |= QS_POSTMESSAGE;
    if (!q->Sent.empty()) status |= QS_SENDMESSAGE;
  }
  if (q->ThreadId == InputThread() && RawInputPending()) status |= QS_INPUT;
  if (q->PaintHint && FindPaintWindow(q->ThreadId, nullptr) != nullptr) status |= QS_PAINT;
  uint64_t due = NextTimerDue(q->ThreadId);
  if (due != UINT64_MAX && due <= ClockNowMs()) status |= QS_TIMER;
  status &= flags;
  return status | (status << 16);
}

DWORD GetQueueChangeCount() { return CurrentQueueRef().Stamp.load(std::memory_order_relaxed); }

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
  std::u16string text;
  PThreadQueue q = CurrentQueue();
  if (msg->lPrivate != 0) {
    std::lock_guard<std::mutex> guard(q->Lock);
    size_t slot = (msg->lPrivate - 1) % q->KeyTexts.size();
    text = q->KeyTexts[slot];
  } else {
    // A key message made by a program: the US layout's character.
    int vk = static_cast<int>(msg->wParam);
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    WCHAR c = MapVirtualKeyToChar(vk, shift, caps);
    if (c != 0 && (GetKeyState(VK_CONTROL) & 0x8000) && (GetKeyState(VK_MENU) & 0x8000) == 0) {
      if (c >= u'a' && c <= u'z') c = static_cast<WCHAR>(c - u'a' + 1);
      else if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + 1);
      else if (vk != VK_RETURN && vk != VK_BACK && vk != VK_ESCAPE && vk != VK_TAB) c = 0;
    }
    if (c != 0) text.push_back(c);
  }
  if (text.empty()) return FALSE;
  UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  PWindow w = Find(msg->hwnd);
  PThreadQueue target = w ? QueueOf(w->ThreadId) : nullptr;
  if (!target) return FALSE;
  // The characters come next, before anything queued after the key.
  {
    std::lock_guard<std::mutex> guard(target->Lock);
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
      MSG c{};
      c.hwnd = msg->hwnd;
      c.message = charMsg;
      c.wParam = static_cast<WPARAM>(*it);
      c.lParam = msg->lParam & 0xFFFFFFFF;
      c.time = msg->time;
      c.pt = msg->pt;
      target->Posted.push_front(c);
    }
  }
  WakeQueue(*target);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, static_cast<UINT_PTR>(msg->wParam), NowTick());
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  PWindow w = Find(msg->hwnd);
  if (!w || !w->Proc || w->ThreadId != GetCurrentThreadId()) return 0;
  PThreadQueue q = CurrentQueue();
  q->LastTime = msg->time;
  q->LastPos = msg->pt;
  LRESULT r = CallProc(w->Proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
  return r;
}

UINT RegisterWindowMessageA(const char* name) {
  if (name == nullptr || *name == 0) return 0;
  static std::mutex lock;
  static std::map<std::string, UINT> names;
  const std::string key = AsciiLower(std::string(name));
  std::lock_guard<std::mutex> guard(lock);
  auto it = names.find(key);
  if (it != names.end()) return it->second;
  if (names.size() >= 0x3FFF) return 0;
  UINT id = 0xC000 + static_cast<UINT>(names.size());
  names.emplace(key, id);
  return id;
}

DWORD GetMessageTime() { return CurrentQueue()->LastTime; }

DWORD GetMessagePos() {
  POINT p = CurrentQueue()->LastPos;
  return static_cast<DWORD>(MAKELONG(static_cast<WORD>(static_cast<SHORT>(p.x)), static_cast<WORD>(static_cast<SHORT>(p.y))));
}

BOOL InSendMessage() { return CurrentQueue()->InSend > 0 ? TRUE : FALSE; }
