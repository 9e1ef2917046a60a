#pragma once
// Crossing between the program's code page 936 texts and Qt's UTF-16 strings.

#include "runtime/codepage.h"

#include <QString>

namespace tavelin {

inline QString to_qstring(std::string_view cp936) {
    const std::u16string units = codepage::utf16_from_cp936(cp936);
    return QString(reinterpret_cast<const QChar*>(units.data()),
                   static_cast<qsizetype>(units.size()));
}

inline Text from_qstring(const QString& text) {
    return codepage::cp936_from_utf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

/// A UTF-8 identifier (a control's name) as a QString.
inline QString name_qstring(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace tavelin
