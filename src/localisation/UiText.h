#pragma once

#include <QString>

#include "localisation/TandrelTexts.h"

// The current text of one string-table entry, for widgets.
inline QString UiText(TTextIndex index) { return QString::fromStdString(CurrentText(index)); }
