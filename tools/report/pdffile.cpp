#include "pdffile.h"

#include "connection.h"
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

// DejaVu Sans for Latin, Greek and Cyrillic, Droid Sans Fallback for Chinese, Japanese and Korean characters. Both
// are TrueType, which the PDF keeps as text.
const struct {
    const char* path;
    const char* package;
} fonts[] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core"},
    {"/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf", "fonts-droid-fallback"},
};

} // namespace

Expected<QStringList> loadFonts()
{
    QStringList families;
    for (const auto& font : fonts) {
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(font.path));
        if (id < 0)
            return Status::failure(QStringLiteral("the font %1 cannot be loaded (it comes with the package %2)")
                                       .arg(QLatin1String(font.path), QLatin1String(font.package)));
        for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
            if (!families.contains(family))
                families.append(family);
        }
    }
    return families;
}

QString refusal(const QString& location, const QString& target, bool force)
{
    if (QFileInfo(target).isDir())
        return QStringLiteral("\"%1\" is a folder; give the path of a file").arg(target);
    QString reason;
    const auto refused = [&](const QString& path, const QString& why) {
        reason = QStringLiteral("\"%1\": %2").arg(path, why);
        return Status::failure(reason);
    };
    if (Status apart = registerfile::refuseSource(target, location, refused); !apart)
        return reason;
    if (QFileInfo::exists(target) && !force)
        return QStringLiteral("\"%1\" exists; --force replaces it").arg(target);
    return {};
}

Status write(const QString& location, const QString& target, bool force,
             const std::function<Status(QIODevice& file)>& draw, const registerfile::Refused& refused)
{
#ifdef __GLIBC__
    // Qt's PDF writer takes two large buffers for each page and gives them back; glibc would return them to the
    // system and zero them anew every time, which costs more than drawing the page.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 96 * 1024 * 1024);
#endif
    const auto make = [&](const QString& building) {
        QFile file(building);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return refused(target, QStringLiteral("it cannot be written (%1)").arg(file.errorString()));
        Status drawn = draw(file);
        file.close();
        if (drawn && file.error() != QFileDevice::NoError)
            drawn = refused(target, QStringLiteral("it cannot be written (%1)").arg(file.errorString()));
        return drawn;
    };
    return registerfile::build(target, location, force, make, refused);
}

Expected<int> writePages(const QString& location, const QString& target, bool force, const Document& document,
                         const std::function<Status(ReportPages& pages)>& layOut,
                         const std::function<Status(const QString& reason)>& cannot)
{
    const Expected<QStringList> families = loadFonts();
    if (!families)
        return cannot(families.status().message());
    int pageCount = 0;
    const auto draw = [&](QIODevice& file) -> Status {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("Velmora " VELMORA_VERSION));
        ReportPages counting(writer, families.value(), document.footer);
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
    const auto refused = [&](const QString& path, const QString& reason) {
        return cannot(QStringLiteral("\"%1\": %2").arg(path, reason));
    };
    if (Status built = write(location, target, force, draw, refused); !built)
        return built;
    return pageCount;
}

} // namespace pdffile
