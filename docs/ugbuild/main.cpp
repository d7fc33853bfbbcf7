// Builds the user guide: ugbuild <guide.md> <picture-folder> <out.pdf>
#include "guidepdf.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: ugbuild <guide.md> <picture-folder> <out.pdf>\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "ugbuild: cannot read %s\n", argv[1]);
        return 1;
    }
    GuidePdf guide(QString::fromUtf8(in.readAll()), QDir(QString::fromLocal8Bit(argv[2])));
    const QString out = QString::fromLocal8Bit(argv[3]);
    if (!guide.write(out)) {
        for (const QString& e : guide.errors())
            std::fprintf(stderr, "ugbuild: %s\n", qPrintable(e));
        QFile::remove(out);
        return 1;
    }
    std::printf("ugbuild: %s, %d pages\n", argv[3], guide.pageCount());
    return 0;
}
