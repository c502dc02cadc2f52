#include "ports/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "core/XdgFolders.h"
#include "link/PortNaming.h"

namespace zir {

namespace {

const QString kById = QStringLiteral("/dev/serial/by-id");

// A sysfs attribute without its line end; "" when it is missing.
QString Attribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool Exists(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool IsName(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The text a symbolic link holds; nullopt when `path` is no link.
std::optional<QString> LinkText(const QString& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    return QFile::decodeName(QByteArray(buffer, static_cast<qsizetype>(n)));
}

QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

// The nearest folder at or above `dir`, inside `top`, that holds an
// idVendor file: the USB device a tty belongs to.
QString UsbDeviceOf(QString dir, const QString& top) {
    while (dir.startsWith(top + QLatin1Char('/'))) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor"))) return dir;
        dir = QFileInfo(dir).path();
    }
    return {};
}

// "ttyUSB10" as ("ttyUSB", 10), so that names sort as people count.
std::pair<QString, long> NameOrder(const QString& path) {
    qsizetype digits = path.size();
    while (digits > 0 && path[digits - 1].isDigit()) --digits;
    return {path.left(digits), path.mid(digits).toLong()};
}

QString UartName(int type) {
    // The serial core's PORT_* numbers of the common PC UARTs.
    switch (type) {
    case 1: return QStringLiteral("8250");
    case 2: return QStringLiteral("16450");
    case 3: return QStringLiteral("16550");
    case 4: return QStringLiteral("16550A");
    default: return QStringLiteral("type %1").arg(type);
    }
}

// Port number of "ttyS<k>" by the fallback rule; 0 when another name holds
// that number or the tty is no ttyS.
int DefaultComOf(const QString& device) {
    const QString prefix = QStringLiteral("/dev/ttyS");
    if (!device.startsWith(prefix)) return 0;
    bool ok = false;
    const int k = device.mid(prefix.size()).toInt(&ok);
    if (!ok || k < 0 || k >= kMaxPortNumber) return 0;
    return PortDevicePath(k + 1) == device ? k + 1 : 0;
}

std::optional<SerialPortEntry> TtyEntry(const DeviceTree& tree, const QString& classDir, const QString& name) {
    const QString ttyDir = classDir + QLatin1Char('/') + name;
    const QString device = Canonical(ttyDir + QStringLiteral("/device"));
    if (device.isEmpty()) return std::nullopt;
    SerialPortEntry entry;
    entry.device = QStringLiteral("/dev/") + name;
    const QString usb = UsbDeviceOf(device, Canonical(tree.At(QStringLiteral("/sys"))));
    if (!usb.isEmpty()) {
        entry.kind = PortKind::UsbAdapter;
        entry.manufacturer = Attribute(usb + QStringLiteral("/manufacturer"));
        entry.product = Attribute(usb + QStringLiteral("/product"));
        entry.serialNumber = Attribute(usb + QStringLiteral("/serial"));
        entry.vendorId = Attribute(usb + QStringLiteral("/idVendor"));
        entry.productId = Attribute(usb + QStringLiteral("/idProduct"));
    } else {
        bool ok = false;
        const int type = Attribute(ttyDir + QStringLiteral("/type")).toInt(&ok);
        if (!ok || type == 0) return std::nullopt;
        entry.kind = PortKind::BuiltIn;
        entry.uartType = type;
        entry.ioPort = Attribute(ttyDir + QStringLiteral("/port"));
        entry.irq = Attribute(ttyDir + QStringLiteral("/irq"));
        entry.defaultCom = DefaultComOf(entry.device);
    }
    return entry;
}

// Present and accessible: `file` is where the device is found now.
void NoteAccess(const DeviceTree& tree, const QString& file, SerialPortEntry& entry) {
    entry.present = Exists(file);
    entry.accessRemedy = entry.present ? PortAccessRemedy(file, tree.groupFile) : QString();
}

} // namespace

QString DeviceTree::At(const QString& machinePath) const {
    if (root.isEmpty() || root == QStringLiteral("/")) return machinePath;
    return QDir::cleanPath(root + QLatin1Char('/') + machinePath);
}

QString SerialPortEntry::Description() const {
    switch (kind) {
    case PortKind::UsbAdapter: {
        QStringList name;
        for (const QString& part : {manufacturer, product})
            if (!part.isEmpty()) name << part;
        QStringList parts;
        if (!name.isEmpty()) parts << name.join(QLatin1Char(' '));
        if (!serialNumber.isEmpty()) parts << QStringLiteral("serial ") + serialNumber;
        if (!vendorId.isEmpty() || !productId.isEmpty()) parts << QStringLiteral("USB %1:%2").arg(vendorId, productId);
        return parts.join(QStringLiteral(", "));
    }
    case PortKind::BuiltIn: {
        QStringList parts{QStringLiteral("built-in UART ") + UartName(uartType)};
        if (!ioPort.isEmpty()) parts << QStringLiteral("I/O ") + ioPort;
        if (!irq.isEmpty()) parts << QStringLiteral("IRQ ") + irq;
        return parts.join(QStringLiteral(", "));
    }
    case PortKind::LinkOnly:
        return device.startsWith(QStringLiteral("/dev/pts/")) ? QStringLiteral("pseudo-terminal") : QString();
    }
    return {};
}

QString SerialPortEntry::Key() const {
    return (kind == PortKind::LinkOnly ? QStringLiteral("link:") : QString()) + device;
}

std::vector<SerialPortEntry> ListSerialPorts(const DeviceTree& tree) {
    std::vector<SerialPortEntry> devices;
    const QString classDir = tree.At(QStringLiteral("/sys/class/tty"));
    const QStringList names = QDir(classDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : names)
        if (auto entry = TtyEntry(tree, classDir, name)) devices.push_back(*entry);

    // The stable names, in name order; the first one of a device counts.
    const QString byIdDir = tree.At(kById);
    const QStringList byId = QDir(byIdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (SerialPortEntry& entry : devices) {
        const QString device = Canonical(tree.At(entry.device));
        for (const QString& id : byId) {
            if (!device.isEmpty() && Canonical(byIdDir + QLatin1Char('/') + id) == device) {
                entry.stableName = kById + QLatin1Char('/') + id;
                break;
            }
        }
        NoteAccess(tree, tree.At(entry.device), entry);
    }

    // The links com<n>, each given to the device it leads to.
    std::vector<SerialPortEntry> links;
    const QString configDir = ZirConfigDir();
    QStringList comNames =
        QDir(configDir).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    comNames.removeIf([](const QString& f) { return ComLinkNumber(f) == 0; });
    std::sort(comNames.begin(), comNames.end(),
              [](const QString& a, const QString& b) { return ComLinkNumber(a) < ComLinkNumber(b); });
    for (const QString& fileName : comNames) {
        const int n = ComLinkNumber(fileName);
        const QString path = configDir + QLatin1Char('/') + fileName;
        if (!IsName(path)) continue;
        const std::optional<QString> text = LinkText(path);
        const QString target = text ? QDir::cleanPath(QDir(configDir).absoluteFilePath(*text)) : path;
        const QString resolved = Canonical(tree.At(target));
        const auto leadsTo = [&](const SerialPortEntry& entry) {
            if (entry.kind == PortKind::LinkOnly) return entry.device == target;
            if (!entry.stableName.isEmpty() && entry.stableName == target) return true;
            return !resolved.isEmpty() && Canonical(tree.At(entry.device)) == resolved;
        };
        auto owner = std::find_if(devices.begin(), devices.end(), leadsTo);
        if (owner == devices.end()) {
            owner = std::find_if(links.begin(), links.end(), leadsTo);
            if (owner == links.end()) {
                SerialPortEntry entry;
                entry.kind = PortKind::LinkOnly;
                entry.device = target;
                if (target.startsWith(kById + QLatin1Char('/'))) entry.stableName = target;
                // A name com<n> that is no link is the device itself.
                NoteAccess(tree, text ? tree.At(target) : path, entry);
                links.push_back(entry);
                owner = links.end() - 1;
            }
        }
        owner->comLinks.append(n);
    }

    std::sort(devices.begin(), devices.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return NameOrder(a.device) < NameOrder(b.device);
    });
    devices.insert(devices.end(), links.begin(), links.end());
    return devices;
}

} // namespace zir
