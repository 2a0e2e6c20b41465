// SPDX-License-Identifier: MIT
#include "app/main_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHelpEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <string>

#include "app/clock_sync_text.h"
#include "app/lamp_picture.h"
#include "platform/local_clock.h"
#include "platform/tick_timer.h"

namespace {

constexpr char kDesignFontFamily[] = "MS Sans Serif";

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

// "Sending a chosen time, started at 2027-10-31 02:58:50 (summer time)", ahead of what is said of the clock.
QString ChosenStartLine(const Settings& settings) {
  if (!settings.Start) return {};
  const timecode::LocalTime start = platform::LocalClockAt(settings.Start->time_since_epoch().count()).Now;
  return QString::asprintf("Sending a chosen time, started at %04d-%02d-%02d %02d:%02d:%02d (%s)\n", start.Year,
                           start.Month, start.Day, start.Hour, start.Minute, start.Second,
                           start.SummerTime ? "summer time" : "standard time");
}

// "Velkorin – MSF, COM3": what the options change of what is sent, the code, the ports, the zone and a chosen start.
QString TitleFor(const QString& name, const Settings& settings) {
  const timecode::TimeCode& code = *settings.Code;
  QStringList changed;
  if (&code != &timecode::kDcf77) changed << QString::fromLatin1(code.Name).toUpper();  // JJY60 apart from JJY
  if (settings.PortNames.empty()) changed << QStringLiteral("sound only");
  if (settings.PortNames != Settings{}.PortNames && !settings.PortNames.empty()) {
    QStringList ports;
    for (const std::string& port : settings.PortNames) ports << QString::fromStdString(port);
    changed << ports.join(QStringLiteral(", "));
  }
  if (settings.Zone != (code.Zone != nullptr ? code.Zone : "")) changed << QString::fromStdString(settings.Zone);
  if (settings.Start) changed << QStringLiteral("a chosen time");
  return changed.isEmpty() ? name : name + QStringLiteral(" – ") + changed.join(QStringLiteral(", "));
}

}  // namespace

TForm1::TForm1(const Settings& settings, platform::LocalClock* clock, QWidget* parent)
    : QWidget(parent), settings_(settings), runner_(settings, true, clock) {
  connect(&doorbell_, &platform::Doorbell::rung, this, &TForm1::ShowWhatIsNew);
  SubstituteMissingDesignFont();
  setupUi(this);
  // A fixed single border with the system menu and minimise but no maximise; the description can't say so.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->availableGeometry()));
  Image1->setPixmap(LampWithoutBackground());
  // Labels size themselves to their text: the sizes in the description fit it only in the design font.
  for (QLabel* label : {Label1, Label2, Puls}) label->adjustSize();
  chosenStartLine_ = ChosenStartLine(settings);
  title_ = TitleFor(windowTitle(), settings);
  setWindowTitle(title_);
  closeHandler_ = HandlerNamedBy("OnClose");
  HandlerNamedBy("OnCreate").invoke(this);
}

// The description binds events to handlers by name: dynamic properties of Form1 (OnCreate, OnClose) hold the
// handlers' names, looked up here among this class's slots as the window is built. Designer's own <connections>
// cannot say this, since creating and closing are events rather than signals.
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

// The boxes as the settings start them, then the transmitter. Each parity box sends its bit of the code sent wrong,
// and says which in its tooltip; a box the code has no bit for stays disabled. The boxes are read where they act,
// through the transmitter's switches, which follow them.
void TForm1::StartProgram() {
  Tone->setChecked(settings_.Tone);
  InvertOutput->setChecked(settings_.InvertOutput);
  // The sound device plays the time code, which the beep would interrupt.
  if (!settings_.AudioDevice.empty()) {
    Tone->setEnabled(false);
    Tone->setToolTip(QStringLiteral("The sound device plays the time code (--audio)"));
  }
  if (settings_.PortNames.empty()) {
    InvertOutput->setEnabled(false);
    InvertOutput->setToolTip(QStringLiteral("No port is driven (--no-port): there are no lines to invert"));
  }
  const timecode::TimeCode& code = *settings_.Code;
  QCheckBox* const parityBoxes[] = {InvertP1, InvertP2, InvertP3};
  for (int box = 1; box <= 3; ++box) {
    QCheckBox* invert = parityBoxes[box - 1];
    invert->setEnabled(false);
    invert->setToolTip(QStringLiteral("%1 has no parity bit for this box").arg(code.Title));
    for (std::size_t index = 0; index < code.Switches.size(); ++index) {
      const timecode::ParitySwitch& bit = code.Switches[index];
      if (bit.Box != box) continue;
      invert->setEnabled(true);
      invert->setChecked((settings_.WrongParities >> index) & 1U);
      invert->setToolTip(QStringLiteral("%1: %2, %3, second %4").arg(code.Title, bit.Name, bit.Covers).arg(bit.Second));
      connect(invert, &QCheckBox::toggled, this, [this, index](bool wrong) {
        const timecode::WrongParities bit = timecode::WrongParities{1} << index;
        if (output::Switches* switches = Switches(); switches != nullptr && wrong) switches->WrongParities |= bit;
        if (output::Switches* switches = Switches(); switches != nullptr && !wrong) switches->WrongParities &= ~bit;
      });
    }
  }

  connect(Tone, &QCheckBox::toggled, this, [this](bool on) {
    if (output::Switches* switches = Switches()) switches->Tone = on;
  });
  connect(InvertOutput, &QCheckBox::toggled, this, [this](bool on) {
    if (output::Switches* switches = Switches()) switches->InvertOutput = on;
  });

  runner_.Start(*this, &feed_);
  Timer1 = runner_.timer();
  startingUp_ = false;
}

// The transmitter's switches while it runs: from start-up until the window closes.
output::Switches* TForm1::Switches() {
  Transmitter* transmitter = runner_.transmitter();
  return transmitter != nullptr ? &transmitter->Switches() : nullptr;
}

void TForm1::CleanUp() { runner_.CleanUp(); }

// A modal box with the text, the caption "Error" and only an OK button, no icon, the reason and what to do below the
// text for whoever started the program from a menu; none once the system has asked the program to end.
void TForm1::TellStartFailure(const std::string& text, const std::string& why) {
  if (stoppedDuringStartUp_) return;
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"), QString::fromStdString(text), QMessageBox::Ok);
  box.setInformativeText(QString::fromLocal8Bit(why));
  box.exec();
}

// Told to end by the system, the program ends as when its window is closed: CleanUp, then status 0; a box that
// start-up still shows is closed first, and no further one is shown.
void TForm1::StopRequested() {
  if (!startingUp_) {
    close();
    return;
  }
  stoppedDuringStartUp_ = true;
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
}

void TForm1::AppendTwoDigits(int value) {
  if (value < 10) TextBuffer += QLatin1Char('0');
  TextBuffer += QString::number(value);
}

// The time as " 9:05:07" and the date as " 5.3.07": hours, days and months unpadded, the rest two digits.
void TForm1::NewSecond(const timecode::TimeSample& now) {
  TextBuffer = QLatin1Char(' ');
  TextBuffer += QString::number(now.Hour);
  TextBuffer += QLatin1Char(':');
  AppendTwoDigits(now.Minute);
  TextBuffer += QLatin1Char(':');
  AppendTwoDigits(now.Second);
  Label1->setText(TextBuffer);

  TextBuffer = QLatin1Char(' ');
  TextBuffer += QString::number(now.Day);
  TextBuffer += QLatin1Char('.');
  TextBuffer += QString::number(now.Month);
  TextBuffer += QLatin1Char('.');
  AppendTwoDigits(now.Year2);
  Label2->setText(TextBuffer);
}

// The tick rang: the lamp as the pulse is now, and the newest second, if there is one the window has not shown. Showing
// or hiding a widget that already is so costs nothing. A ring heard after CleanUp finds nothing to show.
void TForm1::ShowWhatIsNew() {
  if (runner_.transmitter() == nullptr) return;
  Image1->setVisible(feed_.Lamp());
  const WindowFeed::Second* second = feed_.TakeSecond();
  if (second == nullptr) return;
  NewSecond(second->time);
  Label1->adjustSize();
  Label2->adjustSize();
  ShowState(*second);
}

// What is sent where, each port's state and the clock's, and while a minute is not sent whole, why; a port that is lost
// or refuses its lines also in the title, until it is back.
void TForm1::ShowState(const WindowFeed::Second& second) {
  const Transmitter* transmitter = runner_.transmitter();
  const ShownState shown{second.sync.sync, (second.sync.estimatedError.count() + 50) / 100, second.holding,
                         second.spoiled[0] != '\0', second.portTrouble};
  if (shown == shownState_) return;
  const bool troubleChanged = !shownState_ || shownState_->portTrouble != shown.portTrouble;
  shownState_ = shown;
  QString text = chosenStartLine_ + QStringLiteral("Sending ") +
                 QString::fromStdString(transmitter->Describe(second.local)) + u'\n' +
                 QString::fromStdString(ClockSyncText(second.sync, second.holding));
  if (shown.spoiled) text += QStringLiteral("\nNothing more is sent in this minute: ") + second.spoiled;
  for (QLabel* shownOn : {Label1, Label2, Image1, Puls}) shownOn->setToolTip(text);
  if (!troubleChanged) return;
  char trouble[512];
  transmitter->Lines().DescribeTrouble(trouble, sizeof trouble);
  setWindowTitle(trouble[0] == '\0' ? title_ : title_ + QStringLiteral(" – ") + QString::fromLocal8Bit(trouble));
}

// The lamp is hidden most of each second, and a hidden widget shows no tooltip: its place shows the lamp's.
bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !Image1->isVisible()) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (Image1->geometry().contains(help->pos())) {
      QToolTip::showText(help->globalPos(), Image1->toolTip(), this, Image1->geometry());
      return true;
    }
  }
  return QWidget::event(event);
}
