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
#include "app/lamp_picture.h"
#include "app/transmitter.h"
#include "platform/instance_guard.h"
#include "platform/tick_timer.h"
#include "timecode/tick_links.h"

TForm1* Form1 = nullptr;

namespace {

constexpr char kDesignFontFamily[] = "MS Sans Serif";

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

void ShowTextIn(QLabel* label) { label->setText(TextBuffer); }

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

// The labels are fitted to their new text once the tick's pulse has begun: measuring text takes a few tenths of a
// millisecond, which would otherwise delay the second mark. Nothing is painted in between.
void FitLabels() {
  Form1->Label1->adjustSize();
  Form1->Label2->adjustSize();
}

void ShowClockSync(const QString& text) {
  for (QLabel* shownOn : {Form1->Label1, Form1->Label2, Form1->Image1}) shownOn->setToolTip(text);
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

void TForm1::TimerTick() { TransmitterTick(); }

// Links first, so that every tick finds them in place, whatever else start-up has to do. A second
// copy is told so and asked to end, but still tries the ports, which the first copy holds: it is
// told that too. The requests to end take effect once start-up is over.
void TForm1::StartProgram() {
  const BoxStates& boxes = settings_.Boxes;
  Tone->setChecked(boxes.Tone);
  InvertOutput->setChecked(boxes.InvertOutput);
  InvertP1->setChecked(boxes.InvertP1);
  InvertP2->setChecked(boxes.InvertP2);
  InvertP3->setChecked(boxes.InvertP3);
  // The sound device plays the time code, which the beep would interrupt.
  if (!settings_.AudioDevice.empty()) {
    Tone->setEnabled(false);
    Tone->setToolTip(QStringLiteral("The sound device plays the time code (--audio)"));
  }
  // Each parity box sends the matching parity bit of the code wrong; a code without one leaves its box disabled.
  const timecode::TimeCode& code = *settings_.Code;
  for (int box = 0; QCheckBox * invert : {InvertP1, InvertP2, InvertP3}) {
    const char* bit = code.ParityBoxes[box++];
    invert->setEnabled(bit != nullptr);
    invert->setToolTip(bit != nullptr ? QString::fromLatin1(bit)
                                      : QStringLiteral("%1 has no parity bit for this box").arg(code.Title));
  }
  StartTransmitter(settings_, {.ShowTime = ShowTime,
                               .ShowLamp = ShowLamp,
                               .ToneChecked = ToneChecked,
                               .InvertOutputChecked = InvertOutputChecked,
                               .ParityInverted = ParityInverted,
                               .ShowClockSync = ShowClockSync,
                               .SecondShown = FitLabels});

  const platform::InstanceGuard guard = platform::CreateInstanceGuard(kInstanceGuardName);
  InstanceMutex = guard.handle;
  if (guard.alreadyExisted) {
    ShowMessageBox("Application already running", "Error");
    Terminate();
  }
  for (const std::string& name : OpenPorts(settings_, false)) {
    ShowMessageBox(("Failure to open " + name).c_str(), "Error");
    Terminate();
  }
}

void TForm1::CleanUp() {
  StopTransmitter();
  platform::ReleaseInstanceGuard(InstanceMutex);
}
