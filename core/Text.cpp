#include "core/Text.h"

namespace zir {

QStringView TrimBlanksAndControls(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    TrimBounds(text, begin, end, [](QChar c) { return IsBlankOrControl(c.unicode()); });
    return text.sliced(begin, end - begin);
}

QByteArrayView TrimBlanksAndControls(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    TrimBounds(bytes, begin, end, [](char c) { return IsBlankOrControl(static_cast<unsigned char>(c)); });
    return bytes.sliced(begin, end - begin);
}

} // namespace zir
