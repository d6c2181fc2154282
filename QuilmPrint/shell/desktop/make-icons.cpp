// Writes the program's symbol as the icon theme's PNG files when the program is built:
//   make-icons FOLDER NAME  →  FOLDER/SIZExSIZE/apps/NAME.png for every size of the symbol.
#include "QuilmPrint/shell/AppIcon.h"

#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-icons FOLDER NAME\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int side : QuilmPrint::AppIcon::sizes) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(side);
        const QString file = apps + "/" + name + ".png";
        if (!QDir().mkpath(apps) || !QuilmPrint::AppIcon::paint(side).save(file, "PNG")) {
            std::fprintf(stderr, "make-icons: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
