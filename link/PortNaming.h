#pragma once
// Serial port number to device path. Port n is $XDG_CONFIG_HOME/zir/com<n>
// (default ~/.config/zir/com<n>) when that name exists, even as a link whose
// target is missing; otherwise /dev/ttyS<n-1>. There is no other fallback.

#include <QString>

namespace zir {

// The numbers the "COM-port №" field offers.
inline constexpr int kMinPortNumber = 1;
inline constexpr int kMaxPortNumber = 256;

// $XDG_CONFIG_HOME/zir/com<n>, the name that gives port number n its device.
QString ComLinkPath(int n);

// The port number a file name of the configuration folder stands for: n for
// "com<n>" with n in 1..256 written without leading zeros, otherwise 0.
int ComLinkNumber(const QString& fileName);

// Device path of port number n (1..256).
QString PortDevicePath(int n);

// The path, followed by " -> <target>" when it is a symbolic link, so a
// message about a link also names what it points to.
QString DescribeDevicePath(const QString& path);

} // namespace zir
