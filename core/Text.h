#pragma once
// Trimming of texts and byte strings.

#include <QByteArrayView>
#include <QStringView>

namespace zir {

// The blank and the control characters: codes 0 to 32.
constexpr bool IsBlankOrControl(char32_t c) { return c <= 0x20; }

// Narrows [begin, end) past the elements at either end for which isBlank is true.
template <typename Sequence, typename Predicate>
void TrimBounds(const Sequence& text, qsizetype& begin, qsizetype& end, Predicate isBlank) {
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
}

// Blanks and control characters off both ends.
QStringView TrimBlanksAndControls(QStringView text);
QByteArrayView TrimBlanksAndControls(QByteArrayView bytes);

} // namespace zir
