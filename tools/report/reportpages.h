#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

// A report's A4 pages, filled from the top down. Laid out once without a painter to count the pages, then again
// with one to draw them: both runs break the pages at the same places, so that every page can say "page 3 of 12".
// A table that goes on over a page break shows its caption, marked as continued, and its header again.
class ReportPages {
public:
    enum class Style { Title, Heading, Body, Bold, Finding, Small };

    struct Column {
        QString title;
        qreal share = 1;    // of the table's width, against the other columns' shares
        bool right = false; // a number, aligned right
    };

    struct Field {
        QString label;
        QString value;
        bool wide = false; // takes the whole line instead of half of it
    };

    // families: the fonts in the order a character is looked for in them. footer: what each page shows beside its
    // number. pageCount: the pages there will be; none while counting them, which draws nothing.
    ReportPages(QPagedPaintDevice& device, const QStringList& families, const QString& footer,
                QPainter* painter = nullptr, int pageCount = 0);

    // Wrapped text, broken over pages between its lines.
    void text(const QString& text, Style style = Style::Body);
    // One line, cut short with an ellipsis where it is too long: it takes the same room whatever it says.
    void line(const QString& text, Style style = Style::Body);
    // Labelled values, two to a line unless wide.
    void fields(const QList<Field>& fields);
    // Starts a new page unless that many lines of body text fit on this one.
    void keep(qreal lines);
    // Starts a new page.
    void pageBreak() { newPage(); }
    // A bar chart, one bar to a line: its label, its length as a part of the longest there could be (0 to 1), and
    // the figure written after it.
    struct Bar {
        QString label;
        qreal part = 0;
        QString figure;
    };
    void bars(const QList<Bar>& bars);
    void space();

    void beginTable(const QString& caption, const QList<Column>& columns);
    void row(const QStringList& cells, Style style = Style::Body);
    // A row set off from the rows above it by a rule, as a total is.
    void closingRow(const QStringList& cells);
    void endTable();

    // Ends the last page; returns the number of pages.
    int finish();

private:
    struct Face {
        QFont font;
        QFontMetricsF metrics;
    };

    const Face& face(Style style) const { return m_faces[static_cast<int>(style)]; }
    qreal lineHeight(Style style) const { return face(style).metrics.lineSpacing(); }
    qreal mm(qreal millimetres) const;
    QStringList wrapped(const QString& text, Style style, qreal width, int most = 0) const;
    bool fits(qreal height) const { return m_y + height <= m_bottom; }
    void newPage();
    void drawFooter();
    void drawLines(const QStringList& lines, Style style, qreal x, qreal y, qreal width = 0, bool right = false);
    void drawElided(const QString& text, Style style, qreal x, qreal y, qreal width,
                    Qt::TextElideMode mode = Qt::ElideRight);
    void rule(qreal y, qreal width);
    void tableHeader(bool continued);
    QList<QStringList> cellLines(const QStringList& cells, Style style, qreal& height) const;
    void drawCells(const QList<QStringList>& lines, Style style);

    QPagedPaintDevice& m_device;
    QPainter* m_painter = nullptr;
    QString m_footer;
    int m_pageCount = 0;
    int m_page = 1;
    QList<Face> m_faces;
    qreal m_left = 0;
    qreal m_width = 0;
    qreal m_top = 0;
    qreal m_bottom = 0;
    qreal m_y = 0;
    QString m_caption;
    QList<Column> m_columns;
    QList<qreal> m_columnX;
    QList<qreal> m_columnWidth;
};
