// Writes the desktop icon, drawn by the same painter as the drive list, so the package carries no
// image made elsewhere. Run at build time: korvane-write-icon FILE.png
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>

#include "app/drive_list_model.h"
#include "app/ui/painted_icons.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: korvane-write-icon FILE.png\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QPixmap pixmap = korvane::DriveStateIcon(korvane::kIconForward).pixmap(48, 48);
    if (!pixmap.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "korvane-write-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
