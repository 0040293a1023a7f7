// The main window's frame: creation and destruction, the drawn title area
// and menu box, window buttons with hover and pressed pictures, dragging by
// the title area, and page switching.
#include "dict/MainForm.h"

#include "classlib/FormReader.h"
#include "classlib/Streams.h"
#include "common/DrawUtils.h"
#include "dict/AboutLinks.h"
#include "dict/DataFiles.h"
#include "dict/Markers.h"
#include "classlib/controls/Dialogs.h"
#include "png/PngObject.h"

TURESearch* SearchEngine = nullptr;
THanakumoForm* HanakumoForm = nullptr;

namespace Main {

TImage::TImage(TComponent* owner) : ::TImage(owner) {
  SetMessageHandler(CM_MOUSEENTER, [this](TMessage&) {
    if (OnMouseEnter) OnMouseEnter(this);
  });
  SetMessageHandler(CM_MOUSELEAVE, [this](TMessage&) {
    if (OnMouseLeave) OnMouseLeave(this);
  });
}

}  // namespace Main

namespace {

constexpr UINT kShowStartupProblems = WM_APP + 1;

}  // namespace

THanakumoForm::THanakumoForm(TComponent* owner) : TForm(owner) {
  SetMessageHandler(WM_NCHITTEST, [this](TMessage& m) { WMNCHitTest(m); });
  SetMessageHandler(kShowStartupProblems, [this](TMessage&) { ShowStartupProblems(); });
}

void THanakumoForm::ReportStartupProblems(std::vector<std::string> problems) {
  if (problems.empty()) return;
  FStartupProblems = std::move(problems);
  PostMessageA(Handle(), kShowStartupProblems, 0, 0);
}

void THanakumoForm::ShowStartupProblems() {
  // A box at a time, each with the window behind it; at a session's end
  // they are not shown, their text goes to standard error.
  const std::vector<std::string> problems = std::move(FStartupProblems);
  FStartupProblems.clear();
  for (const std::string& text : problems)
    MessageBoxA(Handle(), text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONERROR);
}

THanakumoForm::~THanakumoForm() = default;

void THanakumoForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  // Both borderless windows cast a shadow.
  params.WindowClass.style |= CS_DROPSHADOW;
}

void THanakumoForm::LoadPngResource(TPNGObject& picture, const char* name) {
  TResourceStream stream(GetModuleHandleA(nullptr), name, "PNG");
  picture.LoadFromStream(stream);
}

void THanakumoForm::ShowPicture(Main::TImage* image, TPNGObject* picture) {
  if (image && picture) image->Picture().Assign(picture);
}

void THanakumoForm::FormCreate(TObject*) {
  SearchEngine = new TURESearch(nullptr);
  // Each match is classified as it comes; a search for "a" would otherwise
  // keep 750,000 pairs nobody reads.
  SearchEngine->SetKeepMatches(false);
  SearchEngine->OnMatch = [this](int64_t start, int64_t stop) { SearchResultFound(start, stop); };

  struct {
    std::unique_ptr<TPNGObject>& field;
    const char* name;
  } pictures[] = {
      {FPngSearchEnter, "SEARCHENTER"},     {FPngSearchLeave, "SEARCHLEAVE"},
      {FPngCloseEnter, "CLOSEENTER"},       {FPngCloseLeave, "CLOSELEAVE"},
      {FPngCloseDown, "CLOSEDOWN"},         {FPngMaximizeEnter, "MAXIMIZEENTER"},
      {FPngMaximizeLeave, "MAXIMIZELEAVE"}, {FPngMaximizeDown, "MAXIMIZEDOWN"},
      {FPngMinimizeEnter, "MINIMIZEENTER"}, {FPngMinimizeLeave, "MINIMIZELEAVE"},
      {FPngMinimizeDown, "MINIMIZEDOWN"},
  };
  for (auto& p : pictures) p.field = std::make_unique<TPNGObject>();
  for (auto& p : pictures) LoadPngResource(*p.field, p.name);

  imgClose->OnMouseEnter = [this](TObject* s) { imgCloseMouseEnter(s); };
  imgClose->OnMouseLeave = [this](TObject* s) { imgCloseMouseLeave(s); };
  imgMaximize->OnMouseEnter = [this](TObject* s) { imgMaximizeMouseEnter(s); };
  imgMaximize->OnMouseLeave = [this](TObject* s) { imgMaximizeMouseLeave(s); };
  imgMinimize->OnMouseEnter = [this](TObject* s) { imgMinimizeMouseEnter(s); };
  imgMinimize->OnMouseLeave = [this](TObject* s) { imgMinimizeMouseLeave(s); };

  FSearching = false;
  FCurrentText.reset();
  FCurrentLine = {};
  lblEDICTLink->SetCaption(EdictHomeAddress);
  lbl4->SetCaption(EdictCredit);
  lblMakerLink->SetCaption(MakerAddress);
  LoadSettings(*this);
}

void THanakumoForm::FormDestroy(TObject*) {
  for (auto* p : {&FPngSearchEnter, &FPngSearchLeave, &FPngCloseEnter, &FPngCloseLeave, &FPngCloseDown,
                  &FPngMaximizeEnter, &FPngMaximizeLeave, &FPngMaximizeDown, &FPngMinimizeEnter,
                  &FPngMinimizeLeave, &FPngMinimizeDown})
    p->reset();
  SetMarkersFromLines({});
  delete SearchEngine;
  SearchEngine = nullptr;
  // The items show slices of the texts the records and the classifier keep:
  // they go with them.
  for (TWideListBox* list : {lstExactMatch, lstSimiliarMatch}) {
    if (!list) continue;
    FreeResultData(*list);
    list->Items().Clear();
  }
  FClassifier.Clear();
}

void THanakumoForm::WMNCHitTest(TMessage& m) {
  Dispatch(m);
  const POINT screen{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.LParam))),
                     static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(m.LParam)))};
  const POINT p = ScreenToClient(screen);
  auto inside = [&](const TRect& r) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; };
  if (inside(TRect(0, 0, pbTopBox->Width(), pbTopBox->Height())) && !inside(imgClose->BoundsRect()) &&
      !inside(imgMaximize->BoundsRect()) && !inside(imgMinimize->BoundsRect()))
    m.Result = HTCAPTION;
}

// ---- backgrounds

void THanakumoForm::FormPaint(TObject*) {
  Canvas().Brush().SetStyle(bsClear);
  Canvas().Pen().SetColor(0x808080);
  Canvas().Rectangle(ClientRect());
}

void THanakumoForm::pbTopBoxPaint(TObject*) {
  TCanvas& c = pbTopBox->Canvas();
  const TRect r = pbTopBox->ClientRect();
  DrawGradient(c, r, 0xE7E7E7, 0xD5D5D5, 1, 0);
  c.Pen().SetColor(0x808080);
  c.MoveTo(r.left, r.bottom - 1);
  c.LineTo(r.right, r.bottom - 1);
}

void THanakumoForm::pbMenuBoxPaint(TObject*) {
  TCanvas& c = pbMenuBox->Canvas();
  const TRect r = pbMenuBox->ClientRect();
  DrawGradient(c, r, 0xFFFFFF, 0xF5F5F5, 1, 1);
  c.Pen().SetColor(0xCDCDCD);
  c.MoveTo(r.left, r.bottom - 1);
  c.LineTo(r.right, r.bottom - 1);
}

void THanakumoForm::pageSearchPaint(TObject*, TCanvas* canvas, TRect rect) {
  canvas->Brush().SetColor(0xF0F0F0);
  canvas->FillRect(TRect(rect.left, rect.top, rect.left + 180, rect.bottom));
  canvas->Pen().SetColor(0xCDCDCD);
  canvas->MoveTo(rect.left + 180, rect.top);
  canvas->LineTo(rect.left + 180, rect.bottom);
}

void THanakumoForm::pageSettingsPaint(TObject*, TCanvas* canvas, TRect rect) {
  canvas->Brush().SetColor(0xF0F0F0);
  canvas->FillRect(rect);
}

// ---- title buttons: pictures follow the mouse; a release posts the command

void THanakumoForm::imgCloseMouseEnter(TObject*) { ShowPicture(imgClose, FPngCloseEnter.get()); }
void THanakumoForm::imgCloseMouseLeave(TObject*) { ShowPicture(imgClose, FPngCloseLeave.get()); }
void THanakumoForm::imgCloseMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  ShowPicture(imgClose, FPngCloseDown.get());
}
void THanakumoForm::imgCloseMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  PostMessageA(Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

void THanakumoForm::imgMaximizeMouseEnter(TObject*) { ShowPicture(imgMaximize, FPngMaximizeEnter.get()); }
void THanakumoForm::imgMaximizeMouseLeave(TObject*) { ShowPicture(imgMaximize, FPngMaximizeLeave.get()); }
void THanakumoForm::imgMaximizeMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  ShowPicture(imgMaximize, FPngMaximizeDown.get());
}
void THanakumoForm::imgMaximizeMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  PostMessageA(Handle(), WM_SYSCOMMAND, IsZoomed(Handle()) ? SC_RESTORE : SC_MAXIMIZE, 0);
  ShowPicture(imgMaximize, FPngMaximizeLeave.get());
}

void THanakumoForm::imgMinimizeMouseEnter(TObject*) { ShowPicture(imgMinimize, FPngMinimizeEnter.get()); }
void THanakumoForm::imgMinimizeMouseLeave(TObject*) { ShowPicture(imgMinimize, FPngMinimizeLeave.get()); }
void THanakumoForm::imgMinimizeMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  ShowPicture(imgMinimize, FPngMinimizeDown.get());
}
void THanakumoForm::imgMinimizeMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  PostMessageA(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ShowPicture(imgMinimize, FPngMinimizeLeave.get());
}

// ---- pages

void THanakumoForm::imgDictionaryClick(TObject*) { plMain->SetActivePage(pageSearch); }
void THanakumoForm::imgSettingsClick(TObject*) { plMain->SetActivePage(pageSettings); }
void THanakumoForm::imgAboutClick(TObject*) { plMain->SetActivePage(pageAbout); }

// ---- registration with the form reader

namespace {

const bool registered = [] {
  // The form resource names the form's own image class apart from the class
  // library's, which keeps its own name.
  RegisterClass<Main::TImage, ::TImage>("TMainImage");
  RegisterClass<THanakumoForm, TForm>("THanakumoForm");
  auto F = [](const char* name, auto field) { RegisterField(name, field); };
  F("pbTopBox", &THanakumoForm::pbTopBox);
  F("imgSearch", &THanakumoForm::imgSearch);
  F("edtSearch", &THanakumoForm::edtSearch);
  F("imgLogo", &THanakumoForm::imgLogo);
  F("imgMinimize", &THanakumoForm::imgMinimize);
  F("imgMaximize", &THanakumoForm::imgMaximize);
  F("imgClose", &THanakumoForm::imgClose);
  F("pbMenuBox", &THanakumoForm::pbMenuBox);
  F("imgDictionary", &THanakumoForm::imgDictionary);
  F("imgSettings", &THanakumoForm::imgSettings);
  F("imgAbout", &THanakumoForm::imgAbout);
  F("imgLoading", &THanakumoForm::imgLoading);
  F("lblStop", &THanakumoForm::lblStop);
  F("plMain", &THanakumoForm::plMain);
  F("pageSearch", &THanakumoForm::pageSearch);
  F("pageSettings", &THanakumoForm::pageSettings);
  F("pageAbout", &THanakumoForm::pageAbout);
  F("lblExactMatch", &THanakumoForm::lblExactMatch);
  F("lblSimiliarMatch", &THanakumoForm::lblSimiliarMatch);
  F("lstExactMatch", &THanakumoForm::lstExactMatch);
  F("lstSimiliarMatch", &THanakumoForm::lstSimiliarMatch);
  F("pbResult", &THanakumoForm::pbResult);
  F("lbl2", &THanakumoForm::lbl2);
  F("edtDictFileName", &THanakumoForm::edtDictFileName);
  F("btnBrowseDictFile", &THanakumoForm::btnBrowseDictFile);
  F("chkShowLineNumber", &THanakumoForm::chkShowLineNumber);
  F("bvl1", &THanakumoForm::bvl1);
  F("btnApply", &THanakumoForm::btnApply);
  F("lbl1", &THanakumoForm::lbl1);
  F("lblEDICTLink", &THanakumoForm::lblEDICTLink);
  F("lbl4", &THanakumoForm::lbl4);
  F("lblMakerLink", &THanakumoForm::lblMakerLink);
  F("lblDonate", &THanakumoForm::lblDonate);
  F("dlgOpen1", &THanakumoForm::dlgOpen1);

  auto H = [](const char* name, auto method) { RegisterHandler(name, method); };
  H("FormCreate", &THanakumoForm::FormCreate);
  H("FormDestroy", &THanakumoForm::FormDestroy);
  H("FormPaint", &THanakumoForm::FormPaint);
  H("pbTopBoxPaint", &THanakumoForm::pbTopBoxPaint);
  H("pbMenuBoxPaint", &THanakumoForm::pbMenuBoxPaint);
  H("pageSearchPaint", &THanakumoForm::pageSearchPaint);
  H("pageSettingsPaint", &THanakumoForm::pageSettingsPaint);
  H("imgCloseMouseDown", &THanakumoForm::imgCloseMouseDown);
  H("imgCloseMouseUp", &THanakumoForm::imgCloseMouseUp);
  H("imgMaximizeMouseDown", &THanakumoForm::imgMaximizeMouseDown);
  H("imgMaximizeMouseUp", &THanakumoForm::imgMaximizeMouseUp);
  H("imgMinimizeMouseDown", &THanakumoForm::imgMinimizeMouseDown);
  H("imgMinimizeMouseUp", &THanakumoForm::imgMinimizeMouseUp);
  H("imgDictionaryClick", &THanakumoForm::imgDictionaryClick);
  H("imgSettingsClick", &THanakumoForm::imgSettingsClick);
  H("imgAboutClick", &THanakumoForm::imgAboutClick);
  H("btnBrowseDictFileClick", &THanakumoForm::btnBrowseDictFileClick);
  H("btnApplyClick", &THanakumoForm::btnApplyClick);
  H("lblEDICTLinkClick", &THanakumoForm::lblEDICTLinkClick);
  H("lblMakerLinkClick", &THanakumoForm::lblMakerLinkClick);
  H("lblDonateClick", &THanakumoForm::lblDonateClick);
  H("edtSearchKeyDown", &THanakumoForm::edtSearchKeyDown);
  H("edtSearchEnter", &THanakumoForm::edtSearchEnter);
  H("edtSearchExit", &THanakumoForm::edtSearchExit);
  H("lblStopClick", &THanakumoForm::lblStopClick);
  H("lblExactMatchClick", &THanakumoForm::lblExactMatchClick);
  H("lblSimiliarMatchClick", &THanakumoForm::lblSimiliarMatchClick);
  H("ResultListDrawItem", &THanakumoForm::ResultListDrawItem);
  H("ResultListClick", &THanakumoForm::ResultListClick);
  H("pbResultPaint", &THanakumoForm::pbResultPaint);
  return true;
}();

}  // namespace
