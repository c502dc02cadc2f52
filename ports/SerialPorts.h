#pragma once
// The serial devices of the machine as the serial ports window lists them:
// USB adapters with their stable /dev/serial/by-id/ name and what udev knows
// of them (read from sysfs), built-in ports that have a UART, and the links
// com<n> of the configuration folder, also those whose device is unplugged.
//
// Which ttys are listed (from <root>/sys/class/tty):
//   - a tty whose device has a USB device among its ancestors (a directory
//     with an idVendor file): ttyUSB*, ttyACM*;
//   - a tty whose `type` attribute (the UART type of the serial core) reads a
//     number other than 0. The 8250 driver registers a placeholder ttyS<n>
//     for every port it might have (4 or 32 of them) and gives those it found
//     no UART at type 0 (PORT_UNKNOWN): opening one fails, so it is left out;
//   - nothing else (virtual consoles, pseudo-terminals have no UART type).

#include <QList>
#include <QString>
#include <vector>

#include "link/PortAccess.h"

namespace zir {

// Where the devices are looked for. Paths in the entries are the machine's
// ("/dev/ttyUSB0"); the tree's files are found under `root`, so tests lay out
// a folder like /dev and /sys and pass it.
struct DeviceTree {
    QString root = QStringLiteral("/");
    QString groupFile = kGroupFile;

    // The file of the tree that stands for a machine path.
    QString At(const QString& machinePath) const;
};

enum class PortKind {
    UsbAdapter, // ttyUSB*, ttyACM*
    BuiltIn,    // a UART of the machine: ttyS*, ttyAMA*, ...
    LinkOnly,   // a link com<n> whose device is none of the above (a
                // pseudo-terminal, an unplugged adapter)
};

struct SerialPortEntry {
    PortKind kind = PortKind::LinkOnly;
    // The device: "/dev/ttyUSB0"; for LinkOnly what its link points to
    // (absolute), or the name com<n> itself when that is no link.
    QString device;
    // "/dev/serial/by-id/usb-..." ("" when there is none).
    QString stableName;

    // What udev shows of a USB adapter (sysfs attributes of the USB device).
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString vendorId;  // idVendor, four hex digits
    QString productId; // idProduct
    // A built-in port's UART (sysfs attributes of the tty).
    int uartType = 0;
    QString ioPort; // "0x3F8"
    QString irq;

    // Port numbers n whose link com<n> leads to this device, ascending.
    QList<int> comLinks;
    // COM number of a built-in ttyS<k> by the fallback rule (port k+1 is
    // /dev/ttyS<k> while no com<k+1> name exists); 0 when none.
    int defaultCom = 0;

    bool present = false;
    // "" when this user may open the device (or it is not present);
    // otherwise the remedy of PortAccessRemedy.
    QString accessRemedy;

    // "FTDI FT232R USB UART, serial A1B2C3, USB 0403:6001",
    // "built-in UART 16550A, I/O 0x3F8, IRQ 4", "pseudo-terminal", "".
    QString Description() const;
    // What a link com<n> to this device should point to: the stable name
    // when there is one, otherwise the device.
    QString LinkTarget() const { return stableName.isEmpty() ? device : stableName; }
    // The number a port field should take for this device: its first link,
    // else its default number; 0 when it has none.
    int ComNumber() const { return comLinks.isEmpty() ? defaultCom : comLinks.front(); }
    // Tells entries apart across two listings.
    QString Key() const;

    bool operator==(const SerialPortEntry&) const = default;
};

// The devices of the tree and the links of ZirConfigDir(): first the
// devices in name order (ttyACM0, ttyS0, ttyUSB0, ttyUSB1, ttyUSB10), then
// the links that lead to none of them, by their first number.
std::vector<SerialPortEntry> ListSerialPorts(const DeviceTree& tree = {});

} // namespace zir
