#pragma once

#include <QString>
#include <QStringList>

// The items of a list written as text: separated by commas, blanks or line breaks; a
// double-quoted item may hold blanks and commas. Empty items are left out.
QStringList CommaTextItems(const QString &text);

// A mask value as typed ("*.TXT; *.doc") as the mask list: lower-cased, split at ';',
// commas and blanks. Empty (every file shown) for "*.*" or an empty value.
QStringList ParseMaskList(const QString &value);
// The mask list as text: joined with ";", or "*.*" when empty.
QString JoinMaskList(const QStringList &masks);

// The mask window's preset entries, e.g. "All Files (*.*)".
QStringList MaskPresets();
// The mask a preset entry stands for: what stands between " (" and the closing
// parenthesis; an entry without them is taken as a mask itself.
QString MaskOfPreset(const QString &entry);
