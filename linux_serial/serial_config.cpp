#include "serial_config.h"

#include <termios.h>

#include "serial_messages.h"

namespace vela {
namespace {

speed_t SpeedConstant(std::int32_t baud) {
  switch (baud) {
    case 38400: return B38400;
    case 19200: return B19200;
    case 2400: return B2400;
    case 4800: return B4800;
    default: return B9600;
  }
}

void ApplyParity(termios* t, char parity) {
  switch (parity) {
    case 'n':
      // INPCK and ISTRIP stay as they were found.
      t->c_cflag &= ~static_cast<tcflag_t>(PARENB);
      break;
    case 'e':
      t->c_cflag |= PARENB;
      t->c_cflag &= ~static_cast<tcflag_t>(PARODD);
      t->c_iflag |= INPCK | ISTRIP;
      break;
    case 'o':
      t->c_cflag |= PARENB | PARODD;
      t->c_iflag |= INPCK | ISTRIP;
      break;
    default: break;
  }
}

void ApplyCharacterFormat(termios* t, std::uint8_t dataBits,
                          std::uint8_t stopBits) {
  if (dataBits == 8 || dataBits == 7) {
    t->c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    t->c_cflag |= dataBits == 8 ? CS8 : CS7;
  }
  if (stopBits == 1) t->c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  if (stopBits == 2) t->c_cflag |= CSTOPB;
}

void ApplyFlowControl(termios* t, char flow) {
  // Hardware flow control is ours (DSR is watched while sending), so the
  // driver never gets CRTSCTS.
  if (flow == 'n' || flow == 'h') {
    t->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t->c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  } else if (flow == 'x') {
    t->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t->c_iflag |= IXON | IXOFF | IXANY;
  }
}

}  // namespace

bool ConfigureSerialPort(SerialPort* port, bool save,
                         const SerialPortSettings* settings,
                         const char** message) {
  termios t;
  if (tcgetattr(port->fd, &t) != 0) {
    *message = kTcgetattrFailed;
    return false;
  }
  if (settings->baudRate != 0) {
    speed_t speed = SpeedConstant(settings->baudRate);
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) {
      *message = kCfsetospeedFailed;
      return false;
    }
    t.c_cflag |= CLOCAL | CREAD;
  }
  ApplyParity(&t, settings->parity);
  ApplyCharacterFormat(&t, settings->dataBits, settings->stopBits);
  ApplyFlowControl(&t, settings->flowControl);
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ISIG);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  // A VMIN raised with VTIME 0, as a process that died mid-wait may leave
  // it, makes poll() hold out for that many bytes. No call here blocks in
  // read, so the line gets the kernel's default of 1 back.
  if (t.c_cc[VTIME] == 0 && t.c_cc[VMIN] > 1) t.c_cc[VMIN] = 1;
  tcflush(port->fd, TCIFLUSH);
  if (tcsetattr(port->fd, TCSANOW, &t) != 0) {
    *message = kTcsetattrFailed;
    return false;
  }
  if (save) port->settings = *settings;
  return true;
}

bool RestorePortSettings(SerialPort* port, const char** message) {
  return ConfigureSerialPort(port, false, &port->settings, message);
}

}  // namespace vela
