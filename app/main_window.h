// SPDX-License-Identifier: MIT
#pragma once

#include <QMetaMethod>
#include <QString>
#include <QWidget>
#include <optional>

#include "app/runner.h"
#include "app/settings.h"
#include "app/window_feed.h"
#include "ui_main_window.h"

class QCloseEvent;

namespace platform {
class LocalClock;
class TickTimer;
}  // namespace platform

// The program's one window, built from main_window.ui: the time and date being sent, the pulse lamp and the five
// check boxes that are all there is to configure. Its components are the fields that Ui::TForm1 declares from the
// description (Label1, Label2, Image1, Puls, Tone, InvertP1 … InvertOutput); the description also names the handlers
// of its events, which are bound by those names. It hosts the transmitter, whose tick runs on a thread of its own and
// tells the window the time shown and the lamp through a feed (app/window_feed.h).
class TForm1 : public QWidget, public Ui::TForm1, public Host {
  Q_OBJECT

 public:
  // `clock`: the PC's, or a stand-in for tests.
  explicit TForm1(const Settings& settings = Settings{}, platform::LocalClock* clock = nullptr,
                  QWidget* parent = nullptr);

  platform::TickTimer* Timer1 = nullptr;  // drives the transmitter from start-up on

  // The transmitter the window hosts, once start-up has made it.
  Transmitter* transmitter() { return runner_.transmitter(); }
  // Whether start-up asked the program to end, and whether the system asked it to while a start-up box was shown.
  bool EndRequested() const { return runner_.EndRequested(); }
  bool StoppedDuringStartUp() const { return stoppedDuringStartUp_; }
  int ExitStatus() const { return runner_.ExitStatus(); }

  void TellStartFailure(const std::string& text, const std::string& why) override;
  void StopRequested() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private slots:
  void StartProgram();
  void CleanUp();

 private:
  QMetaMethod HandlerNamedBy(const char* event) const;
  void AppendTwoDigits(int value);
  void ShowWhatIsNew();
  void NewSecond(const timecode::TimeSample& now);
  void ShowState(const WindowFeed::Second& second);
  output::Switches* Switches();

  const Settings settings_;
  platform::Doorbell doorbell_;
  WindowFeed feed_{doorbell_};  // before the runner, whose transmitter tells it
  Runner runner_;
  QMetaMethod closeHandler_;
  bool startingUp_ = true;
  bool stoppedDuringStartUp_ = false;
  // The display texts are composed here one after the other, at a new second only.
  QString TextBuffer;
  // What the tooltips and the title last said of the clock and the ports, so that they are composed again only when
  // that changes.
  struct ShownState {
    platform::ClockSync sync;
    std::int64_t estimatedErrorTenthsOfMs;
    bool holding;
    bool spoiled;
    std::uint32_t portTrouble;
    bool operator==(const ShownState&) const = default;
  };
  std::optional<ShownState> shownState_;
  QString chosenStartLine_;  // the first line of the tooltips when a chosen time is sent, else empty
  QString title_;            // as the options make it, without the ports' trouble
};
