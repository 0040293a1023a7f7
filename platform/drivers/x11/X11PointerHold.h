// A press keeps its pointer events while the window that took it goes.
// The server gives the pressed window the pointer until the release; it
// takes that back the moment the window is unmapped or destroyed (a card
// that fades out and in for a new entry in the middle of a drag), and the
// release then goes to whatever lies under the pointer, never to us. So a
// window of ours going with a button held passes the pointer to the root,
// taken by us until that button comes up.
#pragma once

#include <X11/Xlib.h>

class TX11PointerHold {
 public:
  TX11PointerHold(Display* display, Window root) : D(display), Root(root) {}
  // Before one of our windows is unmapped or destroyed, with whether the
  // display has a button held now.
  void WindowGoing(bool buttonHeld);
  // Pointer events to the root are ours only while we hold it.
  bool Holding() const { return FHeld; }
  // Each pointer event: the hold ends once no button is held.
  void Follow(const XEvent& ev);
  // Another grab of ours (a popup's) took the pointer over.
  void Forget() { FHeld = false; }

 private:
  Display* D;
  Window Root;
  bool FHeld = false;
  // The grab's request: events read after it but made before it (queued
  // while the program was busy) tell of the buttons as they were then.
  unsigned long FSince = 0;
};

// The buttons (Button1Mask ...) held, as a pointer event says, after it.
unsigned ButtonsAfter(const XEvent& ev);

// Buttons the program still has down that a pointer event says are up:
// their release went to someone else (a grab ended before it). They come
// up now, where the event is. `ownRelease`: the caller turns the event's
// own release into input; else it comes up here too (a release over a
// tray icon, which has no input of its own).
void ReleaseLostButtons(const XEvent& ev, bool ownRelease);
