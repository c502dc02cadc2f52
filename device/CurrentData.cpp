#include "device/CurrentData.h"

#include "core/DateText.h"
#include "core/LineFile.h"
#include "device/Clock.h"
#include "device/DeviceRequest.h"
#include "device/Dimension.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"

namespace zir {

namespace {

const QByteArray kCurrentValuesRequest = QByteArrayLiteral("XW");

// Reply offsets (the frame data begin at 14); value codes low byte first.
constexpr int kUncertaintyBOffset = 17;
constexpr int kValueBOffset = 18;
constexpr int kUncertaintyAOffset = 20;
constexpr int kValueAOffset = 21;

} // namespace

CurrentDataFields DecodeCurrentValues(const QByteArray& reply, const QString& dimensionA, const QString& dimensionB) {
    CurrentDataFields fields;
    fields.dataA = ValueCodeToText(ValueCodeAt(reply, kValueAOffset)) + QLatin1Char(' ') + dimensionA;
    fields.uncertaintyA = QString::number(FrameByte(reply, kUncertaintyAOffset));
    fields.dataB = ValueCodeToText(ValueCodeAt(reply, kValueBOffset)) + QLatin1Char(' ') + dimensionB;
    fields.uncertaintyB = QString::number(FrameByte(reply, kUncertaintyBOffset));
    return fields;
}

CurrentValues DecodeCurrentValueCodes(const QByteArray& reply, const QString& dimensionA, const QString& dimensionB) {
    return {ValueCodeAt(reply, kValueAOffset),
            FrameByte(reply, kUncertaintyAOffset),
            ValueCodeAt(reply, kValueBOffset),
            FrameByte(reply, kUncertaintyBOffset),
            dimensionA,
            dimensionB};
}

std::optional<CurrentDataFields> ReadCurrentData(const DeviceContext& ctx, CurrentValues* values) {
    ctx.status.SetStatus(QString());
    ProgressGuard progress(ctx, 4);

    std::uint8_t bankSelector = kUnknownBankSelector;
    if (const auto letter = ReadCurrentBankLetter(ctx)) {
        bankSelector = *letter;
        progress.Set(1);
    }
    const QString dimensionA = ReadRazm(ctx, bankSelector, Channel::A);
    progress.Set(2);
    const QString dimensionB = ReadRazm(ctx, bankSelector, Channel::B);
    progress.Set(3);

    const QByteArray reply = RequestRead(ctx, kCurrentValuesRequest);
    if (reply.size() != kCurrentValuesReplySize) {
        ctx.status.SetStatus(QStringLiteral("Current measures wasn't written"));
        return std::nullopt;
    }
    progress.Set(4);
    CurrentDataFields fields = DecodeCurrentValues(reply, dimensionA, dimensionB);
    if (values) *values = DecodeCurrentValueCodes(reply, dimensionA, dimensionB);
    ctx.status.SetStatus(QStringLiteral("Current measures was written successfully"));
    return fields;
}

bool TRefreshSchedule::Tick(bool autoRefresh, std::int64_t periodSeconds) {
    ++refreshTicks_;
    if (!autoRefresh || periodSeconds <= 0) return false;
    return refreshTicks_ % periodSeconds == 0;
}

QString CurrentDataLogLine(const QDateTime& now, const CurrentDataFields& fields) {
    const QString plusMinus = QStringLiteral(" \u00B1 ");
    return DateTimeToText(now) + QStringLiteral("  ") + fields.dataA + plusMinus + fields.uncertaintyA +
           QStringLiteral(" %   ") + fields.dataB + plusMinus + fields.uncertaintyB + QStringLiteral(" %");
}

bool AppendCurrentDataLog(const QString& path, const QDateTime& now, const CurrentDataFields& fields,
                          IStatusLine& status, QString* problem) {
    TLineFile file;
    if (!file.Open(path)) {
        status.SetStatus(QStringLiteral("Can't save data to file"));
        if (problem) *problem = QStringLiteral("Cannot open file \"%1\": %2").arg(path, file.ErrorText());
        return false;
    }
    const QString line = CurrentDataLogLine(now, fields);
    file.WriteLine(line);
    file.Close();
    status.SetStatus(QStringLiteral("Data at file ") + line + QStringLiteral(" was refreshed"));
    return true;
}

} // namespace zir
