#include "Boundary.h"

namespace kestrova::ui {

QString toQt(const Text& gbk)
{
    const std::string utf8 = net::fromGbk(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text fromQt(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return net::toGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QColor colourFromValue(std::uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t valueFromColour(const QColor& colour)
{
    return static_cast<std::uint32_t>(colour.red()) | (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}

} // namespace kestrova::ui
