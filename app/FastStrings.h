#pragma once

#include <QString>

// 1-based position of the first character at or after start (below 1 counts as 1) that
// equals ch ignoring case by the code page's upper-casing; 0 when there is none.
int FindCharNoCase(const QString& text, QChar ch, int start);
