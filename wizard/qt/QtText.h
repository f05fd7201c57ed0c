// Text between the page logic's 16-bit strings and Qt's.
#pragma once

#include <QString>

#include "core/CSPString.h"

inline QString ToQString(const CSPWString& text) {
  QString shown = QString::fromUtf16(text.GetString(), static_cast<qsizetype>(text.GetLength()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

inline CSPWString FromQString(const QString& text) {
  CSPWString result;
  result.Append(reinterpret_cast<const char16_t*>(text.utf16()),
                static_cast<uint32_t>(text.size()));
  return result;
}
