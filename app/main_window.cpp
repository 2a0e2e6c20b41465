// SPDX-License-Identifier: MIT
#include "app/main_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <chrono>
#include <string>

#include "app/application.h"
#include "app/clock_sync_status.h"
#include "app/frame_lines.h"
#include "app/lamp_picture.h"
#include "output/serial_lines.h"
#include "platform/instance_guard.h"
#include "platform/local_clock.h"
#include "platform/port_error.h"
#include "platform/tick_timer.h"
#include "platform/tone.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"

TForm1* Form1 = nullptr;

namespace {

constexpr char kDesignFontFamily[] = "MS Sans Serif";
constexpr char kInstanceGuardName[] = "test";

// Taken at start-up; its handle is left for the process's end to close.
platform::GuardHandle InstanceMutex = platform::kNoGuard;

// The display texts are composed here one after the other, at a new second only.
QString TextBuffer;

// The description asks for a font that few systems besides Windows have. Where it is missing, the
// platform's own sans-serif stands in, rather than whatever the font matcher would pick for the name.
void SubstituteMissingDesignFont() {
  if (QFontDatabase::hasFamily(kDesignFontFamily)) return;
  const QFontInfo platformFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  QFont::insertSubstitution(kDesignFontFamily, platformFont.family());
}

QPixmap LampWithoutBackground() {
  QPixmap lamp = QPixmap::fromImage(LampPicture());
  lamp.setMask(lamp.createMaskFromColor(kLampBackground));
  return lamp;
}

void AppendTwoDigits(int value) {
  if (value < 10) TextBuffer += QLatin1Char('0');
  TextBuffer += QString::number(value);
}

// Set when the clock display has shown a new second: its labels are still to be fitted to their new text
// and the clock's synchronisation to be read.
bool NewSecondShown = false;

void ShowTextIn(QLabel* label) {
  label->setText(TextBuffer);
  NewSecondShown = true;
}

// The time as " 9:05:07" and the date as " 5.3.07": hours, days and months unpadded, the rest two digits.
void ShowTime(const timecode::TimeSample& now) {
  TextBuffer = QLatin1Char(' ');
  TextBuffer += QString::number(now.Hour);
  TextBuffer += QLatin1Char(':');
  AppendTwoDigits(now.Minute);
  TextBuffer += QLatin1Char(':');
  AppendTwoDigits(now.Second);
  ShowTextIn(Form1->Label1);

  TextBuffer = QLatin1Char(' ');
  TextBuffer += QString::number(now.Day);
  TextBuffer += QLatin1Char('.');
  TextBuffer += QString::number(now.Month);
  TextBuffer += QLatin1Char('.');
  AppendTwoDigits(now.Year2);
  ShowTextIn(Form1->Label2);
}

// Called on every tick; showing or hiding a widget that already is so costs nothing.
void ShowLamp(bool on) { Form1->Image1->setVisible(on); }

// The check boxes are read whenever the engine or the pulse output asks, never remembered.
bool ToneChecked() { return Form1->Tone->isChecked(); }

bool InvertOutputChecked() { return Form1->InvertOutput->isChecked(); }

bool ParityInverted(timecode::ParityBit parity) {
  switch (parity) {
    case timecode::ParityBit::Minute: return Form1->InvertP1->isChecked();
    case timecode::ParityBit::Hour: return Form1->InvertP2->isChecked();
    case timecode::ParityBit::Date: return Form1->InvertP3->isChecked();
  }
  return false;
}

// Says on standard error which device could not be opened and the system's reason: the box names the port only.
void ReportOpenFailure(const std::string& name, const platform::PortOpening& port) {
  char reason[512];
  platform::DescribeOpenError(port.error, port.device, reason, sizeof reason);
  const std::string device = name == port.device ? name : name + " (" + port.device + ")";
  Report(("cannot " + std::string(port.failedStep) + " the port " + device + ": " + reason).c_str());
}

}  // namespace

TForm1::TForm1(const Settings& settings, QWidget* parent) : QWidget(parent), settings_(settings) {
  SubstituteMissingDesignFont();
  setupUi(this);
  // A fixed single border with the system menu and minimise but no maximise; the description can't say so.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));
  Image1->setPixmap(LampWithoutBackground());
  // Labels size themselves to their text: the sizes in the description fit it only in the design font.
  for (QLabel* label : {Label1, Label2, Puls}) label->adjustSize();

  const std::chrono::milliseconds interval{property("Timer1Interval").toInt()};
  Timer1 = new platform::TickTimer(interval, this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  connect(Timer1, QMetaMethod::fromSignal(&platform::TickTimer::timeout), this, HandlerNamedBy("Timer1OnTimer"));
  closeHandler_ = HandlerNamedBy("OnClose");

  Form1 = this;
  HandlerNamedBy("OnCreate").invoke(this);
}

TForm1::~TForm1() { Form1 = nullptr; }

// The description binds events to handlers by name: dynamic properties of Form1 (OnCreate, OnClose,
// Timer1OnTimer) hold the handlers' names, looked up here among this class's slots as the window is
// built. Designer's own <connections> cannot say this, since creating and closing are events rather
// than signals and Timer1, being no widget, has no place among the described components.
QMetaMethod TForm1::HandlerNamedBy(const char* event) const {
  const QByteArray signature = property(event).toByteArray() + "()";
  const int index = staticMetaObject.indexOfSlot(signature.constData());
  if (index < 0) qFatal("TForm1: the description binds %s to %s, which is no handler", event, signature.constData());
  return staticMetaObject.method(index);
}

void TForm1::closeEvent(QCloseEvent* event) {
  closeHandler_.invoke(this);
  QWidget::closeEvent(event);
}

// The labels are fitted to their new text, and the clock's synchronisation read, once the tick's pulse has
// begun: measuring text takes a few tenths of a millisecond, which would otherwise delay the second mark.
// Nothing is painted in between.
void TForm1::TimerTick() {
  timecode::TimerTick();
  if (!NewSecondShown) return;
  Label1->adjustSize();
  Label2->adjustSize();
  NewSecondShown = false;
  RecordSecond();
  ShowClockSync();
}

// Links first, so that every tick finds them in place, whatever else start-up has to do. A second
// copy is told so and asked to end, but still tries the port, which the first copy holds: it is
// told that too. The requests to end take effect once start-up is over.
void TForm1::StartProgram() {
  timecode::Links = {
      .ReadClock = platform::ReadLocalClock,
      .SetPulse = output::SetPulse,
      .ShowTime = ShowTime,
      .ToneChecked = ToneChecked,
      .ParityInverted = ParityInverted,
      .Beep = platform::Beep,
  };
  output::Links = {.ShowLamp = ShowLamp, .InvertOutputChecked = InvertOutputChecked, .Report = Report};
  // A chosen time as if the clock had read it now: whole seconds, so the second marks stay where they are.
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  platform::ClockOffsetSeconds = settings_.Start ? (*settings_.Start - now).count() : 0;
  // With --require-sync nothing is sent before the first minute mark at which the clock is synchronised.
  output::HoldingPulses = settings_.RequireSync;
  StartClockSyncStatus(settings_);
  StartFrameLines(settings_.Frames ? stdout : nullptr);
  platform::StartTone();

  const platform::InstanceGuard guard = platform::CreateInstanceGuard(kInstanceGuardName);
  InstanceMutex = guard.handle;
  if (guard.alreadyExisted) {
    ShowMessageBox("Application already running", "Error");
    Terminate();
  }
  const platform::PortOpening port = output::AddPort(settings_.PortName.c_str(), false);
  if (port.handle == platform::kNoPort) {
    ReportOpenFailure(settings_.PortName, port);
    ShowMessageBox(("Failure to open " + settings_.PortName).c_str(), "Error");
    Terminate();
  }
}

void TForm1::CleanUp() {
  output::ClosePorts();
  platform::ReleaseInstanceGuard(InstanceMutex);
  platform::StopTone();
}
