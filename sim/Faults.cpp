#include "sim/Faults.h"

namespace zir::sim {

std::optional<FaultKind> ParseFaultKind(const QString& name) {
    static const std::pair<const char*, FaultKind> kNames[] = {
        {"none", FaultKind::None},
        {"silent", FaultKind::Silent},
        {"short", FaultKind::Short},
        {"bad-header", FaultKind::BadHeader},
        {"bad-data", FaultKind::BadData},
        {"trailing", FaultKind::Trailing},
        {"wrong-length", FaultKind::WrongLength},
    };
    for (const auto& [text, kind] : kNames)
        if (name == QLatin1String(text)) return kind;
    return std::nullopt;
}

std::optional<std::set<CommandGroup>> ParseCommandGroups(const QString& names) {
    std::set<CommandGroup> groups;
    for (const QString& raw : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = raw.trimmed().toUpper();
        if (name == QLatin1String("XT"))
            groups.insert(CommandGroup::XT);
        else if (name == QLatin1String("XW"))
            groups.insert(CommandGroup::XW);
        else if (name == QLatin1String("R"))
            groups.insert(CommandGroup::R);
        else if (name == QLatin1String("V"))
            groups.insert(CommandGroup::V);
        else if (name == QLatin1String("REC"))
            groups.insert(CommandGroup::REC);
        else if (name == QLatin1String("WRITE"))
            groups.insert({CommandGroup::WriteR, CommandGroup::WriteT, CommandGroup::WriteW});
        else if (name == QLatin1String("WRITE-R"))
            groups.insert(CommandGroup::WriteR);
        else if (name == QLatin1String("WRITE-T"))
            groups.insert(CommandGroup::WriteT);
        else if (name == QLatin1String("WRITE-W"))
            groups.insert(CommandGroup::WriteW);
        else
            return std::nullopt;
    }
    if (groups.empty()) return std::nullopt;
    return groups;
}

std::optional<CommandGroup> GroupOf(Command command) {
    switch (command) {
    case Command::ClockRead: return CommandGroup::XT;
    case Command::CurrentRead: return CommandGroup::XW;
    case Command::DimensionRead: return CommandGroup::R;
    case Command::BankHeader: return CommandGroup::V;
    case Command::Record: return CommandGroup::REC;
    case Command::DimensionWrite: return CommandGroup::WriteR;
    case Command::CoefficientWrite: return CommandGroup::WriteT;
    case Command::ParameterWrite: return CommandGroup::WriteW;
    case Command::Unknown: break;
    }
    return std::nullopt;
}

bool FaultInjector::Covers(Command command) const {
    const auto group = GroupOf(command); // requests the instrument does not know never count
    return group && (plan_.commands.empty() || plan_.commands.count(*group) > 0);
}

Outcome FaultInjector::Apply(const Answer& answer, const Instrument& instrument) {
    Outcome outcome;
    if (!answer.addressed || !Covers(answer.command)) {
        outcome.bytes = answer.reply;
        return outcome;
    }
    ++matchedRequests_;
    if (matchedRequests_ < plan_.answerFrom) return outcome;
    outcome.delayMs = plan_.delayMs;
    if (!answer.reply) return outcome;
    const bool spoil = plan_.kind != FaultKind::None && (plan_.faultCount < 0 || spoiledReplies_ < plan_.faultCount);
    if (!spoil) {
        outcome.bytes = answer.reply;
        return outcome;
    }
    ++spoiledReplies_;
    outcome.bytes = Spoil(plan_.kind, *answer.reply, answer.command, instrument);
    return outcome;
}

std::optional<QByteArray> Spoil(FaultKind kind, const QByteArray& reply, Command command,
                                const Instrument& instrument) {
    QByteArray bytes = reply;
    switch (kind) {
    case FaultKind::None: return bytes;
    case FaultKind::Silent: return std::nullopt;
    case FaultKind::Short: return bytes.left(8);
    case FaultKind::BadHeader: bytes[10] = static_cast<char>(bytes[10] ^ 0x5A); return bytes;
    case FaultKind::BadData:
        // A frame without data has no data checksum; spoiling its header
        // checksum keeps the fault a rejected frame.
        bytes[bytes.size() > kFrameHeaderSize ? bytes.size() - 1 : 10] ^= 0x5A;
        return bytes;
    case FaultKind::Trailing: return bytes + QByteArray("\x00\x55\xAA", 3);
    case FaultKind::WrongLength:
        // Reads get a header-only frame; writes get a frame with one data
        // byte, which is valid but is not the acknowledgement.
        return IsWrite(command) ? instrument.ReplyFrame(QByteArray(1, '\0')) : instrument.ReplyFrame({});
    }
    return bytes;
}

} // namespace zir::sim
