#include "reportpages.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr qreal sideMargin = 18; // millimetres
constexpr qreal topMargin = 15;
constexpr qreal bottomMargin = 20;
constexpr qreal footerFromBottom = 12;
constexpr qreal cellPadding = 1.2;
constexpr int mostCellLines = 6; // a longer value is cut short, so that a row always fits on a page
constexpr int mostFieldLines = 8;
const QColor findingColour(0xb0, 0x1c, 0x1c);
const QColor ruleColour(0x80, 0x80, 0x80);

// A line of a layout without the blanks and line break it ends with.
QString withoutEnd(QString line)
{
    while (!line.isEmpty() && (line.back().isSpace() || line.back() == QChar::LineSeparator))
        line.chop(1);
    return line;
}

} // namespace

ReportPages::ReportPages(QPagedPaintDevice& device, const QStringList& families, const QString& footer,
                         QPainter* painter, int pageCount)
    : m_device(device)
    , m_painter(painter)
    , m_footer(footer)
    , m_pageCount(pageCount)
{
    const struct {
        qreal points;
        bool bold;
    } sizes[] = {{16, true}, {11, true}, {9, false}, {9, true}, {9, true}, {7.5, false}};
    for (const auto& size : sizes) {
        QFont font;
        font.setFamilies(families);
        font.setPointSizeF(size.points);
        font.setBold(size.bold);
        // Without shaping where a script needs none: no ligature takes "fi" apart from the text it stands for.
        font.setStyleStrategy(QFont::PreferNoShaping);
        m_faces.append({font, QFontMetricsF(font, &m_device)});
    }
    m_left = mm(sideMargin);
    m_width = m_device.width() - 2 * m_left;
    m_top = mm(topMargin);
    m_bottom = m_device.height() - mm(bottomMargin);
    m_y = m_top;
}

qreal ReportPages::mm(qreal millimetres) const
{
    return millimetres * m_device.logicalDpiY() / 25.4;
}

QStringList ReportPages::wrapped(const QString& text, Style style, qreal width, int most) const
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    plain.replace(QLatin1Char('\n'), QChar::LineSeparator);
    plain.replace(QLatin1Char('\r'), QChar::LineSeparator);
    const Face& used = face(style);
    if (!plain.contains(QChar::LineSeparator) && used.metrics.horizontalAdvance(plain) <= width)
        return {plain};
    QTextLayout layout(plain, used.font, &m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(withoutEnd(plain.mid(line.textStart(), line.textLength())));
    }
    layout.endLayout();
    if (most > 0 && lines.size() > most) {
        const QString rest = QStringList(lines.mid(most - 1)).join(QLatin1Char(' '));
        lines = lines.mid(0, most - 1);
        lines.append(used.metrics.elidedText(rest + QChar(0x2026), Qt::ElideRight, width));
    }
    return lines;
}

void ReportPages::drawLines(const QStringList& lines, Style style, qreal x, qreal y, qreal width, bool right)
{
    if (!m_painter)
        return;
    const Face& used = face(style);
    m_painter->setFont(used.font);
    m_painter->setPen(style == Style::Finding ? findingColour : QColor(Qt::black));
    for (const QString& line : lines) {
        const qreal shift = right ? width - used.metrics.horizontalAdvance(line) : 0;
        m_painter->drawText(QPointF(x + shift, y + used.metrics.ascent()), line);
        y += used.metrics.lineSpacing();
    }
}

void ReportPages::drawElided(const QString& text, Style style, qreal x, qreal y, qreal width, Qt::TextElideMode mode)
{
    if (m_painter)
        drawLines({face(style).metrics.elidedText(text, mode, width)}, style, x, y);
}

void ReportPages::rule(qreal y, qreal width)
{
    if (!m_painter)
        return;
    m_painter->setPen(QPen(ruleColour, mm(0.2)));
    m_painter->drawLine(QPointF(m_left, y), QPointF(m_left + width, y));
}

void ReportPages::text(const QString& text, Style style)
{
    for (const QString& line : wrapped(text, style, m_width)) {
        if (!fits(lineHeight(style)))
            newPage();
        drawLines({line}, style, m_left, m_y);
        m_y += lineHeight(style);
    }
}

void ReportPages::line(const QString& text, Style style)
{
    if (!fits(lineHeight(style)))
        newPage();
    drawElided(text, style, m_left, m_y, m_width);
    m_y += lineHeight(style);
}

void ReportPages::fields(const QList<Field>& fields)
{
    const qreal gap = mm(4);
    const qreal labelWidth = mm(30);
    const qreal half = (m_width - gap) / 2;
    for (qsizetype i = 0; i < fields.size();) {
        // A wide field has the line to itself; others go in pairs.
        const qsizetype count = fields[i].wide || i + 1 == fields.size() || fields[i + 1].wide ? 1 : 2;
        QList<QStringList> values;
        qsizetype lines = 1;
        for (qsizetype j = i; j < i + count; ++j) {
            const qreal width = (fields[j].wide ? m_width : half) - labelWidth;
            values.append(wrapped(fields[j].value, Style::Body, width, mostFieldLines));
            lines = std::max(lines, values.last().size());
        }
        const qreal height = lines * lineHeight(Style::Body);
        if (!fits(height))
            newPage();
        for (qsizetype j = 0; j < count; ++j) {
            const qreal x = m_left + j * (half + gap);
            drawElided(fields[i + j].label, Style::Bold, x, m_y, labelWidth - mm(1));
            drawLines(values[j], Style::Body, x + labelWidth, m_y);
        }
        m_y += height;
        i += count;
    }
}

void ReportPages::keep(qreal lines)
{
    if (!fits(lines * lineHeight(Style::Body)))
        newPage();
}

void ReportPages::bars(const QList<Bar>& bars)
{
    const qreal height = lineHeight(Style::Body) * 1.5;
    const qreal labelWidth = m_width * 0.35;
    const qreal figureWidth = m_width * 0.12;
    const qreal longest = m_width - labelWidth - figureWidth - mm(4);
    for (const Bar& bar : bars) {
        if (!fits(height))
            newPage();
        drawElided(bar.label, Style::Body, m_left, m_y, labelWidth - mm(2));
        if (m_painter) {
            const qreal length = std::clamp(bar.part, qreal(0), qreal(1)) * longest;
            m_painter->fillRect(
                QRectF(m_left + labelWidth, m_y + height * 0.1, std::max(length, mm(0.3)), height * 0.6),
                QColor(0x3a, 0x6e, 0xa5));
        }
        drawLines({bar.figure}, Style::Body, m_left + m_width - figureWidth, m_y, figureWidth, true);
        m_y += height;
    }
}

void ReportPages::space()
{
    m_y += lineHeight(Style::Body) / 2;
}

void ReportPages::beginTable(const QString& caption, const QList<Column>& columns)
{
    m_caption = caption;
    m_columns = columns;
    m_columnX.clear();
    m_columnWidth.clear();
    qreal shares = 0;
    for (const Column& column : columns)
        shares += column.share;
    qreal x = m_left;
    for (const Column& column : columns) {
        m_columnX.append(x);
        m_columnWidth.append(m_width * column.share / shares);
        x += m_columnWidth.last();
    }
    // The caption and the header stay with the first row.
    if (!fits(lineHeight(Style::Bold) * 2 + lineHeight(Style::Small) + mm(2 * cellPadding)))
        newPage();
    tableHeader(false);
}

void ReportPages::tableHeader(bool continued)
{
    const QString caption = continued ? m_caption + QStringLiteral(" (continued)") : m_caption;
    if (!caption.isEmpty()) {
        drawElided(caption, Style::Bold, m_left, m_y, m_width);
        m_y += lineHeight(Style::Bold);
    }
    QStringList titles;
    for (const Column& column : std::as_const(m_columns))
        titles.append(column.title);
    qreal height = 0;
    const QList<QStringList> lines = cellLines(titles, Style::Small, height);
    drawCells(lines, Style::Small);
    m_y += height;
    rule(m_y, m_width);
}

QList<QStringList> ReportPages::cellLines(const QStringList& cells, Style style, qreal& height) const
{
    QList<QStringList> lines;
    qsizetype most = 1;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        lines.append(wrapped(cells.value(i), style, m_columnWidth[i] - mm(2 * cellPadding), mostCellLines));
        most = std::max(most, lines.last().size());
    }
    height = most * lineHeight(style) + mm(cellPadding);
    return lines;
}

void ReportPages::drawCells(const QList<QStringList>& lines, Style style)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        drawLines(lines[i], style, m_columnX[i] + mm(cellPadding), m_y + mm(cellPadding) / 2,
                  m_columnWidth[i] - mm(2 * cellPadding), m_columns[i].right);
}

void ReportPages::row(const QStringList& cells, Style style)
{
    qreal height = 0;
    const QList<QStringList> lines = cellLines(cells, style, height);
    if (!fits(height)) {
        newPage();
        tableHeader(true);
    }
    drawCells(lines, style);
    m_y += height;
}

void ReportPages::closingRow(const QStringList& cells)
{
    qreal height = 0;
    const QList<QStringList> lines = cellLines(cells, Style::Bold, height);
    if (!fits(height)) {
        newPage();
        tableHeader(true);
    }
    rule(m_y, m_width);
    drawCells(lines, Style::Bold);
    m_y += height;
}

void ReportPages::endTable()
{
    m_caption.clear();
    m_columns.clear();
}

void ReportPages::newPage()
{
    drawFooter();
    if (m_painter)
        m_device.newPage();
    ++m_page;
    m_y = m_top;
}

void ReportPages::drawFooter()
{
    if (!m_painter)
        return;
    const qreal y = m_device.height() - mm(footerFromBottom);
    const QString number = QStringLiteral("page %1 of %2").arg(m_page).arg(m_pageCount);
    const qreal numberWidth = face(Style::Small).metrics.horizontalAdvance(number);
    drawElided(m_footer, Style::Small, m_left, y, m_width - numberWidth - mm(6), Qt::ElideMiddle);
    drawLines({number}, Style::Small, m_left, y, m_width, true);
}

int ReportPages::finish()
{
    drawFooter();
    return m_page;
}
