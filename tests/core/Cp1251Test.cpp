// Windows-1251 text: every byte against the C library's converter, refusals.
#include <gtest/gtest.h>

#include <iconv.h>

#include "core/Cp1251.h"

namespace zir {
namespace {

// The character glibc's converter gives for one byte (U+FFFD for none);
// nullopt when the converter is not installed.
std::optional<char32_t> ReferenceDecode(unsigned char byte) {
    iconv_t converter = iconv_open("UTF-32LE", "CP1251");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    char in = static_cast<char>(byte);
    char32_t out = 0xFFFD;
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(&out);
    std::size_t inLeft = 1, outLeft = sizeof out;
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) out = 0xFFFD;
    iconv_close(converter);
    return out;
}

TEST(Cp1251, EveryByteDecodesAndEncodesBack) {
    for (int byte = 0; byte < 256; ++byte) {
        const QByteArray one(1, static_cast<char>(byte));
        const QString text = Cp1251ToUnicode(one);
        ASSERT_EQ(text.size(), 1);
        if (const auto reference = ReferenceDecode(static_cast<unsigned char>(byte))) {
            EXPECT_EQ(text[0].unicode(), *reference) << byte;
        }
        if (byte == 0x98) {
            EXPECT_EQ(text[0].unicode(), 0xFFFD);
            EXPECT_FALSE(TryUnicodeToCp1251(text));
        } else {
            EXPECT_EQ(UnicodeToCp1251(text), one) << byte;
        }
    }
    EXPECT_EQ(UnicodeToCp1251(QString::fromUtf8("Привет, №1")), QByteArray::fromHex("cff0e8e2e5f22c20b931"));
}

TEST(Cp1251, RefusalNamesTheCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"Grüße ä", "Character 'ü' (U+00FC) cannot be written in the Windows-1251 code page"},
        {"ok \xF0\x9F\x98\x80",
         "Character '\xF0\x9F\x98\x80' (U+1F600) cannot be written in the Windows-1251 code page"},
    };
    for (auto [text, message] : cases) {
        const QString unicode = QString::fromUtf8(text);
        EXPECT_FALSE(TryUnicodeToCp1251(unicode));
        try {
            UnicodeToCp1251(unicode);
            ADD_FAILURE() << text;
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

// The rule of the text files: each character the code page lacks becomes one
// "?", everything else its byte.
TEST(Cp1251, TextFilesWriteQuestionMarksForWhatTheCodePageLacks) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"17.05.2024 1:30:00 \xCE\x9C.\xCE\x9C.", "17.05.2024 1:30:00 ?.?."}, // Greek "Μ.Μ."
        {"\xEC\x98\xA4\xED\x9B\x84 1:30:00", "?? 1:30:00"},                   // Korean
        {"\xD9\x85", "?"},                                                    // Arabic
        {"1.23 \xC2\xB1 5 % \xD0\xBC\xD0\xBA", "1.23 \xB1 5 % \xEC\xEA"},     // plus-minus, Cyrillic
        {"ok \xF0\x9F\x98\x80!", "ok ?!"},                                    // one character, two UTF-16 units
        {"\xE2\x82\xAC \xE2\x84\x96", "\x88 \xB9"},                           // euro, numero
        {"", ""},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(UnicodeToCp1251Replacing(QString::fromUtf8(text)), bytes) << text;
}

} // namespace
} // namespace zir
