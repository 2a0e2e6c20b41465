// SPDX-License-Identifier: MIT
#pragma once

#include <QMetaMethod>
#include <QWidget>

#include "app/command_line.h"
#include "ui_main_window.h"

class QCloseEvent;

namespace platform {
class TickTimer;
}

// The program's one window, built from main_window.ui: the time and date being sent, the pulse lamp
// and the five check boxes that are all there is to configure. Its components are the fields that
// Ui::TForm1 declares from the description (Label1, Label2, Image1, Puls, Tone, InvertP1 … InvertOutput);
// the description also names the handlers of its events, which are bound by those names.
class TForm1 : public QWidget, public Ui::TForm1 {
  Q_OBJECT

 public:
  explicit TForm1(const Settings& settings = Settings{}, QWidget* parent = nullptr);
  ~TForm1() override;

  platform::TickTimer* Timer1 = nullptr;  // drives the tick engine from creation on

 protected:
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void TimerTick();
  void StartProgram();
  void CleanUp();

 private:
  QMetaMethod HandlerNamedBy(const char* event) const;

  QMetaMethod closeHandler_;
  const Settings settings_;
};

// The one main window while it exists, set as it is built: the engine's links reach the window here.
extern TForm1* Form1;
