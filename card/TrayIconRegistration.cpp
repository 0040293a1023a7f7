// TTrayIcon's entry for the form-resource reader: its class, published
// properties and events.
#include "card/TrayIcon.h"
#include "classlib/FormReader.h"
#include "classlib/ImgList.h"
#include "classlib/controls/Menus.h"

namespace {

using V = const TFormValue&;

// Any picture the reader can read ("TIcon {bitmap stream}", a PNG
// resource...) or nil.
void LoadIcon(TTrayIcon& tray, V v) {
  TPicture picture;
  LoadPicture(picture, v);
  if (!picture.Graphic()) {
    tray.SetIcon(nullptr);
  } else if (auto* icon = dynamic_cast<TIcon*>(picture.Graphic())) {
    tray.SetIcon(icon);
  } else {
    TIcon converted;
    converted.SetImage(picture.Bitmap());
    tray.SetIcon(&converted);
  }
}

}  // namespace

void RegisterTrayIconClass() {
  RegisterClass<TTrayIcon, TComponent>("TTrayIcon");
  RegisterProperty<TTrayIcon>("DesignPreview", [](TTrayIcon& t, V v) { t.SetDesignPreview(v.AsBoolean()); });
  RegisterReference<TTrayIcon, TCustomImageList>("IconList",
                                                 [](TTrayIcon& t, TCustomImageList* l) { t.SetIconList(l); });
  RegisterProperty<TTrayIcon>("CycleIcons", [](TTrayIcon& t, V v) { t.SetCycleIcons(v.AsBoolean()); });
  RegisterProperty<TTrayIcon>("CycleInterval", [](TTrayIcon& t, V v) {
    int32_t n = v.AsInteger();
    if (n < 0) RaisePropertyError("Invalid property value: CycleInterval must not be negative");
    t.SetCycleInterval(static_cast<uint32_t>(n));
  });
  RegisterProperty<TTrayIcon>("Enabled", [](TTrayIcon& t, V v) { t.Enabled = v.AsBoolean(); });
  RegisterProperty<TTrayIcon>("Hint", [](TTrayIcon& t, V v) { t.SetHint(v.AsString()); });
  RegisterProperty<TTrayIcon>("ShowHint", [](TTrayIcon& t, V v) { t.SetShowHint(v.AsBoolean()); });
  RegisterProperty<TTrayIcon>("Icon", [](TTrayIcon& t, V v) { LoadIcon(t, v); });
  RegisterProperty<TTrayIcon>("IconVisible", [](TTrayIcon& t, V v) { t.SetIconVisible(v.AsBoolean()); });
  RegisterProperty<TTrayIcon>("IconIndex", [](TTrayIcon& t, V v) { t.SetIconIndex(v.AsInteger()); });
  RegisterReference<TTrayIcon, TPopupMenu>("PopupMenu", [](TTrayIcon& t, TPopupMenu* m) { t.SetPopupMenu(m); });
  RegisterProperty<TTrayIcon>("LeftPopup", [](TTrayIcon& t, V v) { t.LeftPopup = v.AsBoolean(); });
  RegisterProperty<TTrayIcon>("WantEnterExitEvents",
                              [](TTrayIcon& t, V v) { t.SetWantEnterExitEvents(v.AsBoolean()); });
  RegisterProperty<TTrayIcon>("MinimizeToTray", [](TTrayIcon& t, V v) { t.MinimizeToTray = v.AsBoolean(); });
  RegisterEvent<TTrayIcon>("OnClick", &TTrayIcon::OnClick);
  RegisterEvent<TTrayIcon>("OnDblClick", &TTrayIcon::OnDblClick);
  RegisterEvent<TTrayIcon>("OnMouseDown", &TTrayIcon::OnMouseDown);
  RegisterEvent<TTrayIcon>("OnMouseUp", &TTrayIcon::OnMouseUp);
  RegisterEvent<TTrayIcon>("OnMouseMove", &TTrayIcon::OnMouseMove);
  RegisterEvent<TTrayIcon>("OnMouseEnter", &TTrayIcon::OnMouseEnter);
  RegisterEvent<TTrayIcon>("OnMouseExit", &TTrayIcon::OnMouseExit);
  RegisterEvent<TTrayIcon>("OnCycle", &TTrayIcon::OnCycle);
  RegisterEvent<TTrayIcon>("OnBalloonHintShow", &TTrayIcon::OnBalloonHintShow);
  RegisterEvent<TTrayIcon>("OnBalloonHintHide", &TTrayIcon::OnBalloonHintHide);
  RegisterEvent<TTrayIcon>("OnBalloonHintTimeout", &TTrayIcon::OnBalloonHintTimeout);
  RegisterEvent<TTrayIcon>("OnBalloonHintClick", &TTrayIcon::OnBalloonHintClick);
  RegisterEvent<TTrayIcon>("OnMinimizeToTray", &TTrayIcon::OnMinimizeToTray);
  RegisterEvent<TTrayIcon>("OnStartup", &TTrayIcon::OnStartup);
}
