#include "PortAccess.h"

#include <QFile>
#include <QStringList>
#include <QtGlobal>

#include <cerrno>
#include <optional>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zir {

namespace {

const QString kSerialGroup = QStringLiteral("dialout");

struct GroupEntry {
    QString name;
    gid_t gid = 0;
    QStringList members;
};

// The lines "name:password:gid:member,member" of a group file.
std::vector<GroupEntry> ReadGroupFile(const QString& path) {
    std::vector<GroupEntry> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return groups;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QStringList fields = QString::fromLocal8Bit(raw).trimmed().split(QLatin1Char(':'));
        if (fields.size() < 4 || fields[0].isEmpty()) continue;
        bool ok = false;
        const uint gid = fields[2].toUInt(&ok);
        if (!ok) continue;
        groups.push_back({fields[0], static_cast<gid_t>(gid), fields[3].split(QLatin1Char(','), Qt::SkipEmptyParts)});
    }
    return groups;
}

struct User {
    QString name;
    std::optional<gid_t> primaryGroup;
};

User ThisUser() {
    if (const passwd* entry = ::getpwuid(::getuid())) return {QString::fromLocal8Bit(entry->pw_name), entry->pw_gid};
    return {qEnvironmentVariable("USER"), std::nullopt};
}

bool SessionHasGroup(gid_t gid) {
    if (::getgid() == gid || ::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid) return true;
    return false;
}

} // namespace

QString PortAccessRemedy(const QString& path, const QString& groupFile) {
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), R_OK | W_OK) == 0) return {};
    if (errno != EACCES && errno != EPERM) return {};

    const std::vector<GroupEntry> groups = ReadGroupFile(groupFile);
    const auto byGid = [&](gid_t gid) -> const GroupEntry* {
        for (const GroupEntry& g : groups)
            if (g.gid == gid) return &g;
        return nullptr;
    };
    const auto byName = [&](const QString& groupName) -> const GroupEntry* {
        for (const GroupEntry& g : groups)
            if (g.name == groupName) return &g;
        return nullptr;
    };

    QString groupName = kSerialGroup;
    const GroupEntry* group = byName(kSerialGroup);
    struct stat info {};
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (::stat(name.constData(), &info) == 0 && (info.st_mode & kGroupReadWrite) == kGroupReadWrite &&
        info.st_gid != 0) {
        group = byGid(info.st_gid);
        groupName = group ? group->name : QString::number(info.st_gid);
    }

    const User user = ThisUser();
    const std::optional<gid_t> gid =
        group ? std::optional<gid_t>(group->gid)
              : (groupName != kSerialGroup ? std::optional<gid_t>(info.st_gid) : std::nullopt);
    if (gid && SessionHasGroup(*gid)) return QStringLiteral("the group %1 may not read and write it").arg(groupName);
    const bool listed =
        (group && !user.name.isEmpty() && group->members.contains(user.name)) || (gid && user.primaryGroup == gid);
    if (listed) return QStringLiteral("log out and in again");
    return QStringLiteral("add yourself to the group %1 (sudo usermod -aG %1 $USER) and log in again").arg(groupName);
}

} // namespace zir
