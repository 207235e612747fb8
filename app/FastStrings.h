#pragma once

#include <QString>

// 1-based position of the first character at or after start (below 1 counts as 1) that
// equals ch ignoring case by the code page's upper-casing; 0 when there is none.
int FindCharNoCase(const QString& text, QChar ch, int start);

// The character the code page's upper-casing makes of c. Characters of the Windows-1252
// code page whose capital is also in the code page become that capital; every other
// character (including those outside the code page) stays as it is.
QChar UpperCaseAnsi(QChar c);
