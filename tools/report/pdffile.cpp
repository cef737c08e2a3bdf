#include "pdffile.h"

#include "registerfile.h"
#include "reportpages.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace pdffile {

namespace {

// DejaVu Sans for Latin, Greek and Cyrillic, Droid Sans Fallback for Chinese, Japanese and Korean characters. All
// are TrueType, which the PDF keeps as text.
const struct {
    const char* path;
    const char* package;
} fonts[] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf", "fonts-droid-fallback"},
};

QPdfWriter* started(QPdfWriter& writer, const Document& document)
{
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF());
    writer.setTitle(document.title);
    writer.setCreator(QStringLiteral("Velmora " VELMORA_VERSION));
    return &writer;
}

} // namespace

Expected<QStringList> loadFonts(const std::function<Status(const QString& reason)>& cannot)
{
    QStringList families;
    for (const auto& font : fonts) {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(font.path));
        if (id < 0)
            return cannot(QStringLiteral("the font %1 cannot be loaded (it comes with the package %2)")
                              .arg(QLatin1String(font.path), QLatin1String(font.package)));
        for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
            if (!families.contains(family))
                families.append(family);
        }
    }
    return families;
}

Status refuseTarget(const QString& location, const QString& target, bool force,
                    const std::function<Status(const QString& reason)>& cannot)
{
    if (QFileInfo(target).isDir())
        return cannot(QStringLiteral("\"%1\" is a folder; give the path of a file").arg(target));
    const auto refused = [&](const QString& path, const QString& reason) {
        return cannot(QStringLiteral("\"%1\": %2").arg(path, reason));
    };
    if (Status apart = registerfile::refuseSource(target, location, refused); !apart)
        return apart;
    if (QFileInfo::exists(target) && !force)
        return cannot(QStringLiteral("\"%1\" exists; --force replaces it").arg(target));
    return {};
}

Expected<int> write(const QString& location, const QString& target, bool force, const Document& document,
                    const std::function<Status(ReportPages& pages)>& layOut,
                    const std::function<Status(const QString& reason)>& cannot)
{
    const Expected<QStringList> families = loadFonts(cannot);
    if (!families)
        return families.status();
#ifdef __GLIBC__
    // Qt's PDF writer takes two large buffers for each page and gives them back; glibc would return them to the
    // system and zero them anew every time, which costs more than drawing the page.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 96 * 1024 * 1024);
#endif
    int pageCount = 0;
    const auto draw = [&](QFile& file) -> Status {
        QPdfWriter writer(&file);
        ReportPages counting(*started(writer, document), families.value(), document.footer);
        if (Status laidOut = layOut(counting); !laidOut)
            return laidOut;
        pageCount = counting.finish();
        QPainter painter;
        if (!painter.begin(&writer))
            return cannot(QStringLiteral("the PDF cannot be started"));
        ReportPages pages(writer, families.value(), document.footer, &painter, pageCount);
        if (Status laidOut = layOut(pages); !laidOut)
            return laidOut;
        const int drawn = pages.finish();
        painter.end();
        if (drawn != pageCount)
            return cannot(QStringLiteral("its pages came out as %1 the second time, not %2").arg(drawn).arg(pageCount));
        return {};
    };
    const auto make = [&](const QString& building) {
        QFile file(building);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return cannot(QStringLiteral("\"%1\" cannot be written (%2)").arg(target, file.errorString()));
        Status drawn = draw(file);
        file.close();
        if (!drawn)
            return drawn;
        if (file.error() != QFileDevice::NoError)
            return cannot(QStringLiteral("\"%1\" cannot be written (%2)").arg(target, file.errorString()));
        return Status();
    };
    const auto refused = [&](const QString& path, const QString& reason) {
        return cannot(QStringLiteral("\"%1\": %2").arg(path, reason));
    };
    // Under a hidden name beside the target until whole; over a file there only when forced.
    if (Status built = registerfile::build(target, location, force, make, refused); !built)
        return built;
    return pageCount;
}

} // namespace pdffile
