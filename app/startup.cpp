#include <QApplication>
#include "platform/tick_timer.h"
#include "platform/local_clock.h"
#include "timecode/tick_engine.h"
#include "timecode/tick_links.h"
#include <cstdio>
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace timecode;
  Links.ReadClock = platform::ReadLocalClock;
  Links.SetPulse = [](bool on) { static bool last; if (on != last) std::printf("%s\n", on ? "on" : "off"); last = on; };
  Links.ShowTime = [](const TimeSample& t) { std::printf("%d:%02d:%02d\n", t.Hour, t.Minute, t.Second); std::fflush(stdout);};
  Links.ToneChecked = [] { return false; };
  Links.ParityInverted = [](ParityBit) { return false; };
  Links.Beep = [](int, std::chrono::milliseconds) {};
  platform::TickTimer timer(kTickPeriod);
  QObject::connect(&timer, &platform::TickTimer::timeout, [] { TimerTick(); });
  return app.exec();
}
