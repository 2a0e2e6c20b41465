// The main window as its description builds it, driving the tick engine through Timer1 on a simulated clock.
// The event loop never runs here, so the real timer never ticks behind a test's back.

#include <gtest/gtest.h>
#include <sys/timex.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "app/application.h"
#include "app/clock_sync_status.h"
#include "app/lamp_picture.h"
#include "app/main_window.h"
#include "output/serial_lines.h"
#include "platform/instance_guard.h"
#include "platform/local_clock.h"
#include "platform/tick_timer.h"
#include "tests/recording_serial_port.h"
#include "timecode/second_schedule.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

namespace {

timecode::LocalTime ClockNow;
int Beeps = 0;
std::vector<std::string> Boxes;  // "caption: text" of every message box shown

timecode::LocalTime At(int year, int month, int day, int hour, int minute, int second) {
  return {year, month, day, hour, minute, second};
}
timecode::LocalTime AtSecond(int second) { return At(2025, 5, 14, 23, 0, second); }

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    timecode::LastSecond = timecode::PulseTicks = timecode::ParityCount = 0;
    timecode::Links = {};
    form = std::make_unique<TForm1>();
    linksAsBuilt = timecode::Links;
    timecode::Links.ReadClock = [] { return timecode::ClockReading{ClockNow, ClockNow}; };
    timecode::Links.Beep = [](int, std::chrono::milliseconds) { ++Beeps; };
  }
  void TearDown() override { form->close(); }

  void TickAt(const timecode::LocalTime& time) {
    ClockNow = time;
    emit form->Timer1->timeout();
  }
  bool LampLit() const { return !form->Image1->isHidden(); }

  std::unique_ptr<TForm1> form;
  timecode::TickLinks linksAsBuilt;
};

TEST_F(MainWindowTest, WindowAsDescribed) {
  EXPECT_EQ(Form1, form.get());
  EXPECT_EQ(form->windowTitle(), "Velkorin");
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_LE((form->geometry().center() - form->screen()->availableGeometry().center()).manhattanLength(), 1);
  EXPECT_TRUE(form->windowFlags().testFlags(Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(form->Timer1->period(), timecode::kTickPeriod);
  // StartProgram ran because the description names it as the on-create handler.
  EXPECT_EQ(linksAsBuilt.ReadClock, &platform::ReadLocalClock);

  QList<QWidget*> tabOrder;
  for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) tabOrder << w;
  const QList<QWidget*> boxes{form->Tone, form->InvertP1, form->InvertP2, form->InvertP3, form->InvertOutput};
  EXPECT_EQ(tabOrder, boxes);

  // The accelerator presses the box at once; the click completes on release, later in the event loop.
  form->show();
  QApplication::setActiveWindow(form.get());
  QTest::keyClick(form.get(), Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(form->Tone->isDown());
}

struct Component {
  const char* name;
  const char* kind;
  QRect geometry;
  const char* caption;
  int fontPixels;
  bool checked;
};

const Component kComponents[] = {
    {"Form1", "TForm1", {0, 0, 196, 273}, "", 11, false},
    {"Label1", "QLabel", {64, 64, 56, 24}, "Label1", 19, false},
    {"Label2", "QLabel", {64, 96, 56, 24}, "Label2", 19, false},
    {"Image1", "QLabel", {32, 16, 33, 33}, "", 11, false},
    {"Puls", "QLabel", {80, 24, 36, 24}, "Puls", 21, false},
    {"Tone", "QCheckBox", {72, 136, 65, 17}, "&Beep", 11, false},
    {"InvertP1", "QCheckBox", {24, 160, 97, 17}, "Invert P1", 11, false},
    {"InvertP2", "QCheckBox", {24, 184, 97, 17}, "Invert P2", 11, false},
    {"InvertP3", "QCheckBox", {24, 208, 97, 17}, "Invert P3", 11, false},
    {"InvertOutput", "QCheckBox", {24, 232, 97, 17}, "InvertOutput", 11, true},
};

TEST_F(MainWindowTest, ComponentsAsDescribed) {
  for (const Component& expected : kComponents) {
    SCOPED_TRACE(expected.name);
    QWidget* widget = expected.name == form->objectName() ? form.get() : form->findChild<QWidget*>(expected.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), expected.kind);
    EXPECT_EQ(widget->property("text").toString(), expected.caption);
    EXPECT_EQ(widget->property("checked").toBool(), expected.checked);
    // Labels keep their place and size themselves to their text; the design size fits the design font only.
    const bool sizedToText = widget->inherits("QLabel") && *expected.caption;
    EXPECT_EQ(widget->size(), sizedToText ? widget->sizeHint() : expected.geometry.size());
    if (widget != form.get()) {
      EXPECT_EQ(widget->pos(), expected.geometry.topLeft());
      EXPECT_FALSE(widget->isHidden());
    }
    EXPECT_EQ(widget->font().pixelSize(), expected.fontPixels);
    EXPECT_EQ(widget->font().family(), "MS Sans Serif");
    // What is drawn is the design font, or the sans-serif registered to stand in for it.
    const QString drawn = QFontInfo(widget->font()).family();
    EXPECT_TRUE(drawn == "MS Sans Serif" || QFont::substitutes("MS Sans Serif").contains(drawn, Qt::CaseInsensitive))
        << drawn.toStdString();
  }
}

// Each row's second differs from the one before, so each is a new second.
const std::tuple<timecode::LocalTime, const char*, const char*> kDisplays[] = {
    {At(2007, 3, 5, 9, 5, 7), " 9:05:07", " 5.3.07"},         {At(2007, 1, 1, 0, 0, 0), " 0:00:00", " 1.1.07"},
    {At(1999, 12, 31, 23, 59, 59), " 23:59:59", " 31.12.99"}, {At(2000, 10, 25, 12, 34, 56), " 12:34:56", " 25.10.00"},
    {At(2009, 9, 9, 9, 9, 9), " 9:09:09", " 9.9.09"},         {At(2010, 10, 10, 10, 10, 10), " 10:10:10", " 10.10.10"},
};

TEST_F(MainWindowTest, ShowsTimeAndDateOnlyAtANewSecond) {
  TickAt(AtSecond(0));  // a program started in second 0 waits for second 1
  EXPECT_EQ(form->Label1->text(), "Label1");
  EXPECT_EQ(form->Label2->text(), "Label2");
  for (const auto& [time, timeText, dateText] : kDisplays) {
    SCOPED_TRACE(timeText);
    const timecode::LocalTime sameSecond = At(time.Year + 1, time.Month % 12 + 1, time.Day % 28 + 1,
                                              (time.Hour + 1) % 24, (time.Minute + 1) % 60, time.Second);
    for (const timecode::LocalTime& now : {time, sameSecond}) {
      TickAt(now);
      EXPECT_EQ(form->Label1->text(), timeText);
      EXPECT_EQ(form->Label2->text(), dateText);
      EXPECT_EQ(form->Label1->size(), form->Label1->sizeHint());
      EXPECT_EQ(form->Label2->size(), form->Label2->sizeHint());
    }
  }
}

TEST_F(MainWindowTest, LampLightsDuringEveryPulse) {
  EXPECT_EQ(LampPicture().colorCount(), 16);
  // A red disc 32 wide and 31 high, rimmed in black; the silver around it is left out.
  const QImage shown = form->Image1->pixmap().toImage();
  const std::pair<QPoint, QColor> kPixels[] = {
      {{16, 15}, Qt::red},   {{0, 15}, Qt::black},        {{31, 15}, Qt::black},    {{16, 0}, Qt::black},
      {{16, 30}, Qt::black}, {{16, 31}, Qt::transparent}, {{0, 0}, Qt::transparent}};
  for (const auto& [at, colour] : kPixels) {
    const QColor pixel = shown.pixelColor(at);
    EXPECT_EQ(pixel.alpha() ? pixel : QColor(Qt::transparent), colour) << at.x() << "," << at.y();
  }

  EXPECT_TRUE(LampLit());  // from creation until the first tick
  TickAt(AtSecond(0));
  EXPECT_FALSE(LampLit());
  for (int tick = 0; tick < timecode::kShortPulseTicks; ++tick) {
    TickAt(AtSecond(1));
    EXPECT_TRUE(LampLit()) << "tick " << tick;
  }
  TickAt(AtSecond(1));
  EXPECT_FALSE(LampLit());
  TickAt(AtSecond(59));  // the minute mark: no pulse
  EXPECT_FALSE(LampLit());
}

// Each box against the second in which the engine reads it.
const std::pair<const char*, int> kSwitches[] = {{"Tone", 1}, {"InvertP1", 28}, {"InvertP2", 35}, {"InvertP3", 58}};

TEST_F(MainWindowTest, EachCheckBoxIsReadAtItsNextMomentOfUse) {
  for (const auto& [name, secondOfUse] : kSwitches) {
    SCOPED_TRACE(name);
    const int second = secondOfUse;  // a lambda may not capture a structured binding before C++20
    auto* box = form->findChild<QCheckBox*>(name);
    ASSERT_NE(box, nullptr);
    auto moment = [this, second] {
      timecode::LastSecond = static_cast<std::uint8_t>(second - 1);
      timecode::ParityCount = 0;
      Beeps = 0;
      TickAt(AtSecond(second));
      return std::pair(int{timecode::PulseTicks}, Beeps);
    };
    const auto asBuilt = moment();
    box->toggle();
    EXPECT_NE(moment(), asBuilt);
    box->toggle();
    EXPECT_EQ(moment(), asBuilt);
  }
}

platform::ClockSyncState KernelSays;

// The kernel's states as the tooltips show them, and whether --require-sync sends from the next minute mark.
TEST_F(MainWindowTest, ClockSynchronisationShownAndGatingThePulses) {
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
  ReadClockSync = [] { return KernelSays; };
  for (const auto& row : kStates) {
    for (const bool requireSync : {false, true}) {
      SCOPED_TRACE(testing::Message() << row.shown << (requireSync ? ", --require-sync" : ""));
      KernelSays = platform::ClockSyncFromKernel(row.clockState, row.status, row.estimatedErrorUs, 16'000'000);
      form->close();
      form.reset();  // first: a window that goes takes Form1 with it
      form = std::make_unique<TForm1>(Settings{.RequireSync = requireSync, .Start = {}});
      timecode::Links.ReadClock = [] { return timecode::ClockReading{ClockNow, ClockNow}; };
      const bool synchronised = row.shownWhileHeld == nullptr;
      TickAt(AtSecond(30));
      EXPECT_EQ(LampLit(), !requireSync) << "before the first minute mark";
      if (requireSync && synchronised) {
        EXPECT_EQ(form->Label1->toolTip(), QString(row.shown) + ": sending from the next minute mark");
      }
      TickAt(AtSecond(59));
      TickAt(AtSecond(0));
      EXPECT_EQ(LampLit(), !requireSync || synchronised) << "from the minute mark on";
      for (const QLabel* label : {form->Label1, form->Label2, form->Image1})
        EXPECT_EQ(label->toolTip(), requireSync && !synchronised ? row.shownWhileHeld : row.shown);
    }
  }
  ReadClockSync = platform::ReadClockSync;
}

// Start-up as a first copy, a second copy and a copy without its port would go through it; each case
// has a single-instance guard of its own, which "another copy" holds beforehand.
struct StartUp {
  const char* name;
  std::string portName;
  bool anotherCopyRuns;
  bool portMissing;
  std::vector<std::string> boxes;
};
const StartUp kStartUps[] = {
    {"first copy", "COM1", false, false, {}},
    {"second copy", "COM1", true, true, {"Error: Application already running", "Error: Failure to open COM1"}},
    {"port absent or busy", "COM1", false, true, {"Error: Failure to open COM1"}},
    {"chosen port absent", "/dev/ttyUSB3", false, true, {"Error: Failure to open /dev/ttyUSB3"}},
};

TEST(StartUpTest, MessagesThenPortAndGuardGivenBackOnClose) {
  for (const StartUp& startUp : kStartUps) {
    SCOPED_TRACE(startUp.name);
    QTemporaryDir runtimeDirectory;
    ::setenv("XDG_RUNTIME_DIR", runtimeDirectory.path().toLocal8Bit().constData(), 1);
    if (startUp.anotherCopyRuns) {
      ASSERT_FALSE(platform::CreateInstanceGuard("test").alreadyExisted);
    }
    recording_port::Missing = startUp.portMissing;
    recording_port::Calls.clear();
    Boxes.clear();

    TForm1 form(Settings{.PortName = startUp.portName});
    const std::string opened = "open " + startUp.portName;
    EXPECT_EQ(Boxes, startUp.boxes);
    EXPECT_EQ(recording_port::Calls, std::vector<std::string>{opened});
    EXPECT_EQ(output::PortHandle != platform::kNoPort, !startUp.portMissing);
    if (!startUp.boxes.empty()) {
      EXPECT_TRUE(TerminationRequested());
    }

    form.close();
    const std::vector<std::string> closed =
        startUp.portMissing ? std::vector<std::string>{opened} : std::vector<std::string>{opened, "close"};
    EXPECT_EQ(recording_port::Calls, closed);
    EXPECT_EQ(output::PortHandle, platform::kNoPort);
  }
  recording_port::Missing = false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ShowMessageBox = [](const char* text, const char* caption) { Boxes.push_back(std::string(caption) + ": " + text); };
  // Every window takes the single-instance guard: here, not in the user's place, where a running copy has it.
  const QTemporaryDir runtimeDirectory;
  ::setenv("XDG_RUNTIME_DIR", runtimeDirectory.path().toLocal8Bit().constData(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
