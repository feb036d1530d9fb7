// The program's icon on the desktop: the theme's "marrowtone" where it is installed, else the
// picture built into the program.
#include <QIcon>
#include <QPixmap>

#include "platform/drivers/qt/qt_drivers.h"

#include "marrowtone_icon_png.h"

namespace platform::qt {

QIcon applicationIcon() {
    static const QIcon icon = [] {
        QPixmap builtIn;
        builtIn.loadFromData(kIconPng, sizeof kIconPng, "PNG");
        return QIcon::fromTheme(QStringLiteral("marrowtone"), QIcon(builtIn));
    }();
    return icon;
}

} // namespace platform::qt
