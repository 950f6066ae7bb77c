// Writes the program's icon as a PNG of the given size (build step for the desktop files).
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

#include "ui/ProductIcon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon FILE.png SIZE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int size = std::atoi(argv[2]);
    if (size <= 0 || !ProductIconPixmap(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
