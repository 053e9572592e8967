#pragma once

#include <QString>

// Turns a picker filter in the bar-separated form ("Caption(*.a;*.b)|*.a;*.b||",
// caption and patterns in turn) into Qt's form ("Caption(*.a *.b)", entries
// joined by ";;"). The caption keeps its words; whatever patterns it shows in
// parentheses are replaced by the entry's own patterns, since those are what
// Qt matches.
QString QtFileFilter(const QString& barSeparated);
