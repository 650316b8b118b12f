// The toolkit boundary: inside the client every text is a GBK byte string and every colour a
// 0x00BBGGRR value; Qt strings and colours exist only on this side of the line.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <net/TextOps.h>

namespace kestrova::ui {

using Text = net::Text;

QString toQt(const Text& gbk);
Text fromQt(const QString& text);

// Windows colour values: red in the low byte, blue in the third.
QColor colourFromValue(std::uint32_t value);
std::uint32_t valueFromColour(const QColor& colour);

// Design names (objectName) are identifiers of the program, written as UTF-8 in the sources.
inline QString designName(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace kestrova::ui
