#pragma once
// A folder laid out like the machine's /dev, /dev/serial/by-id and
// /sys/class/tty (with the sysfs device folders and relative links as the
// kernel and udev make them), plus a private configuration folder that
// XDG_CONFIG_HOME points to for the life of the object.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

#include <unistd.h>

#include "ports/SerialPorts.h"
#include "support/Files.h"

namespace zir::test {

class FakeDeviceTree {
public:
    struct Usb {
        QString tty = QStringLiteral("ttyUSB0");
        QString busPort = QStringLiteral("1-1"); // the USB device's sysfs name
        QString manufacturer = QStringLiteral("FTDI");
        QString product = QStringLiteral("FT232R USB UART");
        QString serial = QStringLiteral("A1B2C3");
        QString vendorId = QStringLiteral("0403");
        QString productId = QStringLiteral("6001");
        // The device node: a plain file, or a link to this path (a pseudo-
        // terminal a simulator serves) when given.
        QString nodeTarget;
    };

    FakeDeviceTree() : savedConfig_(qgetenv("XDG_CONFIG_HOME")) {
        if (!root_.isValid() || !config_.isValid()) throw std::runtime_error("no temporary folder");
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        Dir(QStringLiteral("dev"));
        Dir(QStringLiteral("sys/class/tty"));
        // A virtual console: a tty without a device, never listed.
        Dir(QStringLiteral("sys/devices/virtual/tty/tty0"));
        Link(QStringLiteral("../../devices/virtual/tty/tty0"), QStringLiteral("sys/class/tty/tty0"));
        File(QStringLiteral("dev/tty0"));
        // The root hub above every USB device also has an idVendor.
        Dir(QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1"));
        File(QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/idVendor"), "1d6b\n");
    }
    ~FakeDeviceTree() { qputenv("XDG_CONFIG_HOME", savedConfig_); }
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    DeviceTree Tree() const { return DeviceTree{root_.path(), GroupFile()}; }
    QString Root() const { return root_.path(); }
    QString ConfigDir() const { return config_.path() + QStringLiteral("/zir"); }
    QString GroupFile() const { return root_.filePath(QStringLiteral("etc/group")); }
    void SetGroupFile(const QByteArray& lines) { File(QStringLiteral("etc/group"), lines); }

    static QString ByIdName(const Usb& usb) {
        QString name = QStringLiteral("usb-") + usb.manufacturer + QLatin1Char('_') + usb.product;
        if (!usb.serial.isEmpty()) name += QLatin1Char('_') + usb.serial;
        name.replace(QLatin1Char(' '), QLatin1Char('_'));
        return name + (IsAcm(usb) ? QStringLiteral("-if00") : QStringLiteral("-if00-port0"));
    }
    static QString ByIdPath(const Usb& usb) { return QStringLiteral("/dev/serial/by-id/") + ByIdName(usb); }

    // A USB adapter: ttyUSB* the way usb-serial registers it, ttyACM* the
    // way cdc-acm does.
    void AddUsb(const Usb& usb) {
        const QString device = QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/") + usb.busPort;
        Dir(device);
        const auto attribute = [&](const char* name, const QString& value) {
            if (!value.isEmpty()) File(device + QLatin1Char('/') + QLatin1String(name), value.toUtf8() + '\n');
        };
        attribute("manufacturer", usb.manufacturer);
        attribute("product", usb.product);
        attribute("serial", usb.serial);
        attribute("idVendor", usb.vendorId);
        attribute("idProduct", usb.productId);
        const QString interface = device + QLatin1Char('/') + usb.busPort + QStringLiteral(":1.0");
        Dir(interface);
        QString ttyDir;
        if (IsAcm(usb)) {
            ttyDir = interface + QStringLiteral("/tty/") + usb.tty;
            Dir(ttyDir);
            Link(QStringLiteral("../../../") + usb.busPort + QStringLiteral(":1.0"),
                 ttyDir + QStringLiteral("/device"));
        } else {
            ttyDir = interface + QLatin1Char('/') + usb.tty + QStringLiteral("/tty/") + usb.tty;
            Dir(ttyDir);
            Link(QStringLiteral("../../../") + usb.tty, ttyDir + QStringLiteral("/device"));
        }
        Link(QStringLiteral("../../") + ttyDir.mid(4), QStringLiteral("sys/class/tty/") + usb.tty);
        Node(usb.tty, usb.nodeTarget);
        Dir(QStringLiteral("dev/serial/by-id"));
        Link(QStringLiteral("../../") + usb.tty, QStringLiteral("dev/serial/by-id/") + ByIdName(usb));
    }

    // A port of the 8250 driver; type 0 is one of its placeholders.
    void AddBuiltIn(const QString& tty, int type, const QString& port = QStringLiteral("0x3F8"),
                    const QString& irq = QStringLiteral("4")) {
        const QString parent = type == 0 ? QStringLiteral("sys/devices/platform/serial8250")
                                         : QStringLiteral("sys/devices/pnp0/00:0") + tty.right(1);
        const QString ttyDir = parent + QStringLiteral("/tty/") + tty;
        Dir(ttyDir);
        File(ttyDir + QStringLiteral("/type"), QByteArray::number(type) + '\n');
        File(ttyDir + QStringLiteral("/port"), port.toUtf8() + '\n');
        File(ttyDir + QStringLiteral("/irq"), irq.toUtf8() + '\n');
        Link(QStringLiteral("../../../") + QFileInfo(parent).fileName(), ttyDir + QStringLiteral("/device"));
        Link(QStringLiteral("../../") + ttyDir.mid(4), QStringLiteral("sys/class/tty/") + tty);
        Node(tty, {});
    }

    // Unplugged: udev removes the node and the by-id link, the kernel the
    // tty and its device.
    void Unplug(const Usb& usb) {
        Remove(QStringLiteral("dev/") + usb.tty);
        Remove(QStringLiteral("dev/serial/by-id/") + ByIdName(usb));
        Remove(QStringLiteral("sys/class/tty/") + usb.tty);
        QDir(root_.filePath(QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/") + usb.busPort))
            .removeRecursively();
    }

    // A link com<n> in the configuration folder, holding `target` as written.
    void ComLink(int n, const QString& target) const {
        QDir().mkpath(ConfigDir());
        const QString link = ConfigDir() + QStringLiteral("/com") + QString::number(n);
        QFile::remove(link);
        if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) != 0)
            throw std::runtime_error("cannot make " + link.toStdString());
    }

    // The machine path's file in the tree.
    QString At(const QString& machinePath) const { return Tree().At(machinePath); }

    void File(const QString& relative, const QByteArray& content = {}) const {
        const QString path = root_.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        WriteFileBytes(path, content);
    }

private:
    static bool IsAcm(const Usb& usb) { return usb.tty.startsWith(QStringLiteral("ttyACM")); }

    void Dir(const QString& relative) const { QDir().mkpath(root_.filePath(relative)); }

    void Link(const QString& target, const QString& relative) const {
        const QString path = root_.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
            throw std::runtime_error("cannot make " + path.toStdString());
    }

    void Node(const QString& tty, const QString& target) const {
        if (target.isEmpty())
            File(QStringLiteral("dev/") + tty);
        else
            Link(target, QStringLiteral("dev/") + tty);
    }

    void Remove(const QString& relative) const { ::unlink(QFile::encodeName(root_.filePath(relative)).constData()); }

    QTemporaryDir root_;
    QTemporaryDir config_;
    QByteArray savedConfig_;
};

} // namespace zir::test
