// SPDX-License-Identifier: MIT
#include "platform/doorbell.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace platform {

Doorbell::Doorbell(QObject* parent) : QObject(parent) {
  fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "making the window's doorbell (eventfd)");
  auto* notifier = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    std::uint64_t rings = 0;
    if (read(fd_, &rings, sizeof rings) > 0) emit rung();
  });
}

Doorbell::~Doorbell() {
  qDeleteAll(findChildren<QSocketNotifier*>());  // before the descriptor it watches goes
  close(fd_);
}

void Doorbell::Ring() {
  const std::uint64_t one = 1;
  (void)!write(fd_, &one, sizeof one);
}

}  // namespace platform
