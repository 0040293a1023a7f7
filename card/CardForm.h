// The card window: one dictionary entry drawn as a small card with
// per-pixel alpha, kept at an anchor point, faded out and in with a new
// random entry every refresh period. The program has no other window but
// its settings dialog; it is driven from the tray icon's menu.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "bitmap32/Bitmap32.h"
#include "classlib/Forms.h"
#include "classlib/controls/Menus.h"
#include "classlib/controls/Timer.h"
#include "unicode/WideStrings.h"

class TTrayIcon;

class THanakumoCardForm : public TForm {
 public:
  explicit THanakumoCardForm(TComponent* owner);
  ~THanakumoCardForm() override;

  // Components, bound from the form resource.
  TTimer* tmrRefresh = nullptr;
  TPopupMenu* pmTray = nullptr;
  TMenuItem* Disable1 = nullptr;
  TMenuItem* Lock1 = nullptr;
  TMenuItem* ResizeFrom1 = nullptr;
  TMenuItem* Center1 = nullptr;
  TMenuItem* TopLeft1 = nullptr;
  TMenuItem* TopRight1 = nullptr;
  TMenuItem* BottomLeft1 = nullptr;
  TMenuItem* BottomRight1 = nullptr;
  TMenuItem* N1 = nullptr;
  TMenuItem* Settings1 = nullptr;
  TMenuItem* N3 = nullptr;
  TMenuItem* About1 = nullptr;
  TMenuItem* N2 = nullptr;
  TMenuItem* Exit1 = nullptr;
  TTrayIcon* TrayIcon = nullptr;

  // Form events and menu commands.
  void FormCreate(TObject* sender);
  void FormDestroy(TObject* sender);
  void tmrRefreshTimer(TObject* sender);
  void Disable1Click(TObject* sender);
  void Lock1Click(TObject* sender);
  void Center1Click(TObject* sender);
  void TopLeft1Click(TObject* sender);
  void TopRight1Click(TObject* sender);
  void BottomLeft1Click(TObject* sender);
  void BottomRight1Click(TObject* sender);
  void Settings1Click(TObject* sender);
  void About1Click(TObject* sender);
  void Exit1Click(TObject* sender);

  void LoadConfig();
  void SaveConfig();
  void PickRandomEntry();
  void RefreshCard();
  void PlaceAtAnchor();
  bool IsFullScreenProgramActive();

  // Rendering.
  // The glosses joined for the card; with a limit, only until the text
  // reaches it (a start long enough for a card that shows less).
  WideString BuildGlossText(size_t limit = SIZE_MAX);
  void RenderCard();
  void MakeOpaque(const TRect& rect);
  void UpdateLayeredCard();

  // Reads a dictionary file whole and, when it holds lines, puts them in
  // place of the dictionary's and names it DictFileName; otherwise keeps
  // the dictionary and says why in a message box. True when replaced.
  bool ReplaceDictionary(const std::string& fileName);

  // State, open to tests and the settings dialog.
  const WideString& Headword() const { return FHeadword; }
  const WideString& Reading() const { return FReading; }
  const TWideStringList& Glosses() const { return FGlosses; }
  TBitmap32& Card() { return *FCard; }
  void SetEntry(const WideString& headword, const WideString& reading, const std::vector<WideString>& glosses);
  bool Refreshing() const { return FRefreshing; }
  // Whether the tray icon is docked in a notification area now.
  bool TrayIconDocked();
  // Lets clicks through the card when Lock is checked and a notification
  // area holds the icon (the way back to the menu).
  void ApplyLock();

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  void WMEraseBkgnd(TMessage& message);
  void WMNCHitTest(TMessage& message);
  void WMWindowPosChanged(TMessage& message);
  void WMNCRButtonDown(TMessage& message);
  void WMQueryEndSession(TMessage& message);
  void CheckAnchorItem(uint8_t kind);
  void ShowCardAgain();

  bool FRefreshing = false;
  WideString FHeadword, FReading;
  TWideStringList FGlosses;
  std::unique_ptr<TBitmap32> FCard;
  std::array<std::unique_ptr<TBitmap32>, 9> FFramePieces;
  // Whether an entry has been drawn: without a dictionary the card stays
  // hidden, and Disable's undo has nothing to bring back.
  bool FHaveCard = false;
  // Where the last refresh put the card and for which anchor kind: off the
  // anchor point when the point lies too near the work area's edge.
  TRect FPlaced;
  uint8_t FPlacedFrom = 0xFF;
  bool FConfigSaved = false;
  // The card is being dragged; a refresh came meanwhile and waits for the drop.
  bool FMoving = false;
  bool FRefreshDue = false;
};

extern THanakumoCardForm* HanakumoCardForm;
