// A program that saves its settings in its form's OnDestroy, for the
// session-end tests: SessionEndProgram SETTINGS MODE, where MODE is idle
// (waits in the run), modal (in a modal loop) or busy (pumping its
// messages in a long job), or linger (waits in the run, and after saving
// goes on taking its messages for a second, as a job finishing its work
// does). It writes SETTINGS.ready once it waits.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "classlib/Forms.h"
#include "classlib/controls/ModalLoop.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string settings = argv[1], mode = argv[2];
  std::string seen;
  Application->Initialize();
  TForm* form = nullptr;
  Application->CreateForm(form);
  Application->ShowMainForm = false;
  form->HandleNeeded();  // a real window, as every program has
  form->OnDestroy = [&](TObject*) {
    std::ofstream(settings, std::ios::app) << "saved after" << seen << "\n";
    if (mode != "linger") return;
    SetTimer(Application->Handle(), 1, 100, nullptr);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    MSG msg;
    while (std::chrono::steady_clock::now() < until) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) DispatchMessageA(&msg);
      WaitMessage();
    }
  };
  constexpr UINT kStart = WM_USER + 1;
  Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg == WM_QUERYENDSESSION) seen += " query";
    if (m.Msg == WM_ENDSESSION) seen += " end";
    if (m.Msg != kStart) return false;
    std::ofstream(settings + ".ready") << mode << "\n";
    if (mode == "modal") {
      std::atomic<bool> never{false};
      RunModalLoop(never);
      seen += " modal-left";
    } else if (mode == "busy") {
      while (!Application->Terminated()) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      seen += " busy-left";
    }
    return true;
  });
  PostMessageA(Application->Handle(), kStart, 0, 0);
  Application->Run();
  DoneApplication();
  return 0;
}
