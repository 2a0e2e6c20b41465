// SPDX-License-Identifier: MIT
// The window, its pulse output on a recording stand-in for the port, start-up and closing, the transmitter driven
// through Timer1 on the test's own clock, which the test ticks by hand, on its own thread: the window hears of each
// tick as it would from the tick's thread, through its doorbell, once the events are processed.

#include <gtest/gtest.h>
#include <sys/timex.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main_window.h"
#include "platform/instance_guard.h"
#include "platform/local_clock.h"
#include "platform/tick_timer.h"
#include "tests/recording_serial_port.h"

namespace {

using Calls = std::vector<std::string>;

// A clock that reads what the test sets, each reading one tick period after the last, its lines' edges always on
// time, and says what the test says of its synchronisation.
class FixedClock : public platform::LocalClock {
 public:
  timecode::LocalTime Now;
  platform::ClockSyncState Sync{platform::ClockSync::Synchronised};
  timecode::ClockReading Read() override { return {Now, Now}; }
  std::int64_t WallNanos() override { return 0; }
  platform::ClockSyncState Synchronisation() override { return Sync; }
};

// Each window takes the single-instance guard, which stays taken until the process ends: each test's window is given a
// place of its own for it, else it would be a second copy, told so and never ticked.
struct OwnGuardPlace {
  OwnGuardPlace() { qputenv("XDG_RUNTIME_DIR", directory.path().toLocal8Bit()); }
  QTemporaryDir directory;
};

void Tick(TForm1& form) {
  emit form.Timer1->timeout();
  QCoreApplication::processEvents();
}

class MainWindowTest : public testing::Test {
 protected:
  void TearDown() override { form.close(); }

  void TickAt(const timecode::LocalTime& time) {
    clock.Now = time;
    Tick(form);
  }

  OwnGuardPlace guardPlace;
  FixedClock clock;
  TForm1 form{Settings{}, &clock};
};

// After a space: hours, days and months unpadded, the rest two digits; written at a new second only, the labels
// fitted to them.
TEST_F(MainWindowTest, ShowsTimeAndDateAtEachNewSecond) {
  const std::tuple<timecode::LocalTime, const char*> kTexts[] = {{{2007, 3, 5, 9, 5, 7}, " 9:05:07  5.3.07"},
                                                                 {{1999, 12, 31, 23, 59, 59}, " 23:59:59  31.12.99"},
                                                                 {{2000, 10, 1, 0, 10, 0}, " 0:10:00  1.10.00"}};
  for (auto [time, texts] : kTexts) {
    TickAt(time);
    time.Minute = (time.Minute + 1) % 60;
    TickAt(time);  // the same second
    EXPECT_EQ(form.Label1->text() + ' ' + form.Label2->text(), texts);
    EXPECT_EQ(form.Label1->size(), form.Label1->sizeHint());
  }
}

// The lamp is lit from creation until the first tick, then during pulses. The lines: with InvertOutput checked DTR set
// during a pulse and RTS between, unchecked the reverse; the line being switched off is cleared first.
TEST_F(MainWindowTest, LampAndLinesFollowThePulse) {
  EXPECT_FALSE(form.Image1->isHidden());
  const std::tuple<bool, Calls, Calls> kPolarities[] = {{true, {"clear RTS", "set DTR"}, {"clear DTR", "set RTS"}},
                                                        {false, {"clear DTR", "set RTS"}, {"clear RTS", "set DTR"}}};
  int second = 20;
  for (const auto& [invert, pulse, idle] : kPolarities) {
    form.InvertOutput->setChecked(invert);
    recording_port::Calls.clear();
    TickAt({2025, 5, 14, 23, 33, ++second});
    EXPECT_FALSE(form.Image1->isHidden());
    EXPECT_EQ(recording_port::Calls, pulse) << "invert " << invert;
    while (!form.Image1->isHidden()) {
      recording_port::Calls.clear();
      TickAt(clock.Now);
    }
    EXPECT_EQ(recording_port::Calls, idle) << "invert " << invert;
  }
}

// Each box where it acts: an invert box at its parity second, counted from second 20; Beep on the transmitter's switch,
// which the sound follows.
TEST_F(MainWindowTest, EachCheckBoxActsWhereItIsRead) {
  const auto parityBit = [this](int parity) {  // a 1 while the lamp is lit at the 12th tick of its second
    for (int second = 20; second <= parity; ++second) TickAt({2025, 5, 14, 23, 33, second});
    for (int tick = 1; tick <= 11; ++tick) TickAt(clock.Now);
    return !form.Image1->isHidden();
  };
  for (auto [box, parity] : {std::pair{form.InvertP1, 28}, {form.InvertP2, 35}, {form.InvertP3, 58}}) {
    const bool asBuilt = parityBit(parity);
    box->toggle();
    EXPECT_NE(parityBit(parity), asBuilt) << parity;
  }
  form.Tone->toggle();
  EXPECT_TRUE(form.transmitter()->Switches().Tone);
}

// The kernel's states as the tooltips show them, and whether --require-sync sends from the next minute mark.
TEST(ClockSyncTest, ShownOnTheTooltipsAndGatingThePulses) {
  const char* const kUnsynchronised = "PC clock not synchronised: the time sent may be wrong";
  const char* const kNotSent = "PC clock not synchronised: nothing is sent";
  const struct {
    int clockState, status;
    long estimatedErrorUs;
    const char *shown, *shownWhileHeld;  // the latter when --require-sync holds the pulses back
  } kStates[] = {
      {TIME_OK, STA_PLL, 412, "PC clock synchronised, estimated error 0.4 ms", nullptr},
      {TIME_INS, STA_PLL | STA_INS, 1250, "PC clock synchronised, estimated error 1.3 ms", nullptr},  // leap second due
      {TIME_ERROR, STA_PLL | STA_UNSYNC, 16'000'000, kUnsynchronised, kNotSent},
      {TIME_OK, STA_UNSYNC, 0, kUnsynchronised, kNotSent},
      {TIME_ERROR, STA_PPSTIME | STA_PPSJITTER, 500, kUnsynchronised, kNotSent},  // its pulse per second failing
      {-1, 0, 0, "PC clock synchronisation unknown", "PC clock synchronisation unknown: nothing is sent"},
  };
  for (const auto& row : kStates) {
    for (const bool requireSync : {false, true}) {
      SCOPED_TRACE(testing::Message() << row.shown << (requireSync ? ", --require-sync" : ""));
      const OwnGuardPlace guardPlace;
      FixedClock clock;
      clock.Sync = platform::ClockSyncFromKernel(row.clockState, row.status, row.estimatedErrorUs, 16'000'000);
      Settings settings;
      settings.RequireSync = requireSync;
      TForm1 form(settings, &clock);
      const auto tickAt = [&](int minute, int second) {
        clock.Now = {2025, 5, 14, 23, minute, second};
        Tick(form);
      };
      const bool synchronised = row.shownWhileHeld == nullptr;
      tickAt(33, 30);
      EXPECT_EQ(form.Image1->isHidden(), requireSync) << "before the first minute mark";
      const auto clockLine = [](const QLabel* label) { return label->toolTip().section(u'\n', 1); };
      if (requireSync && synchronised) {
        EXPECT_EQ(clockLine(form.Label1), QString(row.shown) + ": sending from the next minute mark");
      }
      tickAt(33, 59);
      tickAt(34, 0);
      EXPECT_EQ(form.Image1->isHidden(), requireSync && !synchronised) << "from the minute mark on";
      for (const QLabel* label : {form.Label1, form.Label2, form.Image1, form.Puls})
        EXPECT_EQ(clockLine(label), requireSync && !synchronised ? row.shownWhileHeld : row.shown);
      form.close();
    }
  }
}

// The title names what the options change of what is sent, and a port whose lines do not go out until they do again;
// the tooltips say what is sent where.
TEST(WindowTitleTest, NamesTheOptionsAndAPortInTrouble) {
  const struct {
    const timecode::TimeCode* code;
    std::vector<std::string> ports;
    std::string zone;
    const char* title;
  } kRows[] = {{&timecode::kDcf77, {"COM1"}, "", "Velkorin"},
               {&timecode::kMsf, {"COM3"}, "Europe/London", "Velkorin – MSF, COM3"},
               {&timecode::kDcf77, {"COM1"}, "Europe/Berlin", "Velkorin – Europe/Berlin"}};
  for (const auto& row : kRows) {
    for (const platform::SystemError failure : {recording_port::kGone, platform::SystemError{EINVAL}}) {
      const OwnGuardPlace guardPlace;
      FixedClock clock;
      Settings settings;
      std::tie(settings.Code, settings.PortNames, settings.Zone) = std::tie(row.code, row.ports, row.zone);
      TForm1 form(settings, &clock);
      const auto secondAt = [&](int second) {
        clock.Now = {2025, 5, 14, 23, 33, second};
        for (int tick = 0; tick < timecode::kTicksPerSecond; ++tick) Tick(form);
      };
      secondAt(1);
      EXPECT_EQ(form.windowTitle(), row.title);
      EXPECT_TRUE(form.Label1->toolTip().startsWith(QStringLiteral("Sending %1 (").arg(row.code->Title)));
      recording_port::LineError = failure;
      secondAt(2);
      secondAt(3);
      const QString trouble = failure == EINVAL ? QStringLiteral(" refuses its lines") : QStringLiteral(" lost");
      EXPECT_EQ(form.windowTitle(), row.title + (QStringLiteral(" – ") + row.ports[0].c_str()) + trouble);
      recording_port::LineError = 0;
      secondAt(4);
      secondAt(5);
      EXPECT_EQ(form.windowTitle(), row.title) << "back";
      form.close();
    }
  }
}

// Start-up as a first copy, a second copy, and a copy without the guard or without the port would go through it,
// each with a guard of its own that "another copy" holds beforehand; a tick, closing the window, and a tick after. A
// copy that is to end gives back the port it opened without ever switching its lines.
TEST(StartUpTest, MessagesAndTheRequestToEndThenThePortGivenBackOnClose) {
  const std::tuple<bool, bool, Calls> kStartUps[] = {
      {false, false, {"open COM1", "clear RTS", "set DTR", "close"}},
      {true, true, {"Error: Application already running", "open COM1", "Error: Failure to open COM1"}},
      {true, false, {"Error: Application already running", "open COM1", "close"}},
      {false, true, {"open COM1", "Error: Failure to open COM1"}}};
  for (const auto& [anotherCopy, portMissing, calls] : kStartUps) {
    const OwnGuardPlace guardPlace;
    if (anotherCopy) platform::CreateInstanceGuard("test");
    recording_port::Missing = portMissing;
    recording_port::Calls.clear();
    FixedClock clock;
    clock.Now = {2025, 5, 14, 23, 33, 1};
    TForm1 form(Settings{}, &clock);
    if (form.Timer1 != nullptr) Tick(form);  // none is made for a copy that is to end
    form.close();
    if (form.Timer1 != nullptr) Tick(form);
    EXPECT_EQ(recording_port::Calls, calls);
    EXPECT_EQ(form.EndRequested(), anotherCopy || portMissing);
    EXPECT_EQ(form.ExitStatus(), anotherCopy || portMissing ? 1 : 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Each message box, once shown, is recorded as "caption: text" among the port's calls and closed.
  QTimer reader;
  QObject::connect(&reader, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      recording_port::Calls.push_back((box->windowTitle() + ": " + box->text()).toStdString());
      EXPECT_FALSE(box->informativeText().isEmpty()) << "why, below " << box->text().toStdString();
      box->accept();
    }
  });
  reader.start(0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
