// Writes the program's icon as a PNG of the given size, for installation into the desktop's icon theme.
#include "AppIcon.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size <= 0) {
        std::fputs("usage: oxlip-export-icon SIZE FILE.png\n", stderr);
        return 2;
    }
    return DrawAppIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
