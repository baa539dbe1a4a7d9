// Single-byte code pages of the text stored in Paradox tables: a 256-entry table to
// Unicode per page, so decoding an Alpha value is one lookup per byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace etb::data {

class ParadoxCodePage {
public:
    // The page with this number, or nullptr when the number is 0 or unknown.
    static const ParadoxCodePage* find(int number);

    int number() const { return m_number; }

    // Decodes at most maxBytes bytes, stopping at the first NUL byte.
    QString decode(const char* bytes, qsizetype maxBytes) const;

    // Appends the page's bytes for text to out. Returns the index of the first character
    // that does not exist in the page, or -1 when every character was encoded.
    qsizetype encode(QStringView text, QByteArray& out) const;

    ParadoxCodePage(int number, const char16_t* highHalf);

private:
    int m_number;
    char16_t m_toUnicode[256];
};

}  // namespace etb::data
