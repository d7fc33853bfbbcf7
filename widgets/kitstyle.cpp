#include "widgets/kitstyle.h"

#include "core/config.h"

namespace KitStyle {

QString groupBox()
{
    auto px = [](int n) { return QString::number(Config::pixel(n)) + QStringLiteral("px"); };
    return QStringLiteral("QGroupBox{border:") + px(1) + QStringLiteral(" solid black;border-radius:") + px(4)
           + QStringLiteral(";margin-top:") + px(8) + QStringLiteral(";margin-bottom:") + px(4)
           + QStringLiteral(";}QGroupBox::title{subcontrol-origin:margin; position:relative;left:") + px(16)
           + QStringLiteral(";}");
}

} // namespace KitStyle
