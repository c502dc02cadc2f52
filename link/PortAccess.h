#pragma once
// Whether this user may open a serial device, and what to do when not. The
// port's open error and the serial ports window give the same remedy.

#include <QString>

namespace zir {

inline const QString kGroupFile = QStringLiteral("/etc/group");

// "" when this user may read and write the device at `path` (access(2)
// with R_OK | W_OK), and also when the check fails for a reason other than
// permission (a missing device, say). Otherwise the remedy:
//   "add yourself to the group dialout (sudo usermod -aG dialout $USER) and
//    log in again"
//   "log out and in again"   the group file lists the user in the group, but
//                            this session was started before that
//   "the group dialout may not read and write it"
//                            the session has the group, yet the device's
//                            mode keeps the group out
// The group is the device's own group when that group may read and write it
// (another distribution's "uucp", say) and it is not the superuser's group;
// otherwise dialout, the group of serial devices on Debian.
// `groupFile` is read for the group's members and its name.
QString PortAccessRemedy(const QString& path, const QString& groupFile = kGroupFile);

} // namespace zir
