// A shown form for control tests, with the helpers they share.
#pragma once

#include <memory>

#include "ControlsFixture.h"

class FormTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    Form.reset(new TForm(nullptr));
    Form->InitializeForm();
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override {
    Form.reset();
    HeadlessTest::TearDown();
  }
  template <typename T>
  T* Add(int x, int y, int w, int h, TWinControl* parent = nullptr) {
    T* control = new T(Form.get());
    control->SetParent(parent ? parent : Form.get());
    control->SetBounds(x, y, w, h);
    return control;
  }
  void ShowForm() {
    Form->Show();
    HeadlessPumpMessages();
  }
  void Keys(std::initializer_list<int> keys) {
    for (int vk : keys) HeadlessKeyPress(vk);
    HeadlessPumpMessages();
  }
  void Chord(int modifier, int vk) {
    HeadlessKeyDown(modifier);
    HeadlessKeyPress(vk);
    HeadlessKeyUp(modifier);
    HeadlessPumpMessages();
  }
  void ClickAt(TControl* control, int x, int y) {
    POINT p = control->ClientToScreen(POINT{x, y});
    HeadlessClick(p.x, p.y);
    HeadlessPumpMessages();
  }

  TComponentPtr<TForm> Form;
};
