#include "memberregister.h"

#include "reportpages.h"
#include "values.h"

#include <QtNumeric>

#include <optional>

using Style = ReportPages::Style;

namespace {

// The stockholder table's columns, in order.
enum HolderColumn { Number, Character, Name, Gender, Birthday, IdNo, Address1, Address2, Tel1, Tel2, TotalShare };

// A code as stored, with what it means where it is one of the codes the windows offer.
QString coded(const QVariant& value, const QStringList& meanings, qint64 first)
{
    const QString stored = values::shown(value);
    const std::optional<qint64> code = values::wholeNumber(value).whole();
    if (!code || *code < first || *code - first >= meanings.size())
        return stored;
    return QStringLiteral("%1 (%2)").arg(stored, meanings[*code - first]);
}

QString count(qint64 number, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(number).arg(QLatin1String(number == 1 ? one : many));
}

} // namespace

MemberRegister::MemberRegister(ReportPages& pages, const QList<registercheck::Finding>& findings, ReportHeading heading)
    : m_pages(pages)
    , m_findings(findings)
    , m_heading(std::move(heading))
{
    for (qsizetype i = 0; i < findings.size(); ++i) {
        const registercheck::Finding& finding = findings[i];
        if (finding.holder)
            m_byHolder.insert(*finding.holder, i);
        if (finding.table == QLatin1String("stock_data"))
            m_certificatesFound.insert(finding.rowKey);
        else if (finding.table == QLatin1String("transfer_data"))
            m_transfersFound.insert(finding.rowKey);
    }
}

void MemberRegister::heading(const QString& text, qreal keptWith)
{
    m_pages.keep(keptWith);
    m_pages.text(text, Style::Heading);
}

void MemberRegister::title(const QString& name, const QDateTime& made, const Counts& counts, const QString& view)
{
    QString title = m_heading.inspection ? QStringLiteral("Register of members, for inspection")
                                         : QStringLiteral("Register of members");
    if (!view.isEmpty())
        title += QStringLiteral(", ") + view;
    m_pages.text(title, Style::Title);
    if (!m_heading.company.isEmpty())
        m_pages.text(m_heading.company, Style::Heading);
    m_pages.space();
    QList<ReportPages::Field> fields{
        {QStringLiteral("Register"), name, true},
        {QStringLiteral("Made"), made.toString(QStringLiteral("yyyy-MM-dd HH:mm t")), true}};
    if (m_heading.inspection)
        fields.append({QStringLiteral("Last changed"),
                       m_heading.lastChanged.isEmpty()
                           ? QStringLiteral("not known: the register keeps no history of changes")
                           : m_heading.lastChanged + QStringLiteral(" (UTC), the newest change in its history"),
                       true});
    if (!view.isEmpty())
        fields.append({QStringLiteral("Holdings"), view, true});
    m_pages.fields(fields);
    m_pages.space();
    m_pages.line(QStringLiteral("%1, holding %2 between them; %3 in the ledger.")
                     .arg(count(counts.holders, "shareholder", "shareholders"),
                          count(counts.certificates, "certificate", "certificates"),
                          count(counts.transfers, "transfer", "transfers")));
    if (m_heading.inspection)
        m_pages.text(QStringLiteral("Names, addresses and holdings only: no other personal details."));
    else
        m_pages.text(m_findings.isEmpty()
                         ? QStringLiteral("The register check found nothing wanting.")
                         : QStringLiteral("The register check found %1; each is marked \"Finding:\" in red where it "
                                          "belongs, under the shareholder it concerns, or at the end.")
                               .arg(count(m_findings.size(), "thing wanting", "things wanting")));
    m_pages.space();
}

void MemberRegister::holder(const QVariantList& values)
{
    ++m_counts.holders;
    m_holder = values.value(Number);
    m_holderName = values::shown(values.value(Name));
    const std::optional<qint64> held = values::wholeNumber(m_holder).whole();
    m_repeated = held && m_sections.contains(*held);
    if (held) {
        m_sections.insert(*held);
        if (!m_names.contains(*held))
            m_names.insert(*held, {values::shown(m_holder), m_holderName, {}, {}});
    }
    m_inTable = false;
    m_total = 0;
    m_leftOut = 0;
    m_tooLarge = false;
    m_pages.space();
    // The heading, the details, and the first certificate with its table's header start on one page.
    const QString number = values::shown(m_holder);
    heading(QStringLiteral("Shareholder %1: %2")
                .arg(number.isEmpty() ? QStringLiteral("(no number)") : number,
                     m_holderName.isEmpty() ? QStringLiteral("(no name)") : m_holderName),
            14);
    const auto shown = [&](HolderColumn column) {
        return values::shown(values.value(column));
    };
    if (m_heading.inspection) {
        m_pages.fields({{QStringLiteral("Address 1"), shown(Address1), true},
                        {QStringLiteral("Address 2"), shown(Address2), true}});
        return;
    }
    m_pages.fields({
        {QStringLiteral("Nature/juristic"),
         coded(values.value(Character), {QStringLiteral("natural person"), QStringLiteral("juristic person")}, 1)},
        {QStringLiteral("Gender"), coded(values.value(Gender), {QStringLiteral("female"), QStringLiteral("male")}, 0)},
        {QStringLiteral("Birthday"), shown(Birthday)},
        {QStringLiteral("ID no."), shown(IdNo)},
        {QStringLiteral("Address 1"), shown(Address1), true},
        {QStringLiteral("Address 2"), shown(Address2), true},
        {QStringLiteral("Telephone 1"), shown(Tel1)},
        {QStringLiteral("Telephone 2"), shown(Tel2)},
        {QStringLiteral("Total share"),
         values.value(TotalShare).isNull() ? QString() : shown(TotalShare) + QStringLiteral(" (as stored)")},
    });
}

void MemberRegister::certificate(const QVariantList& values, qint64 rowKey)
{
    if (!m_repeated)
        ++m_counts.certificates;
    if (!m_inTable) {
        m_pages.space();
        m_pages.beginTable(
            QStringLiteral("Certificates of shareholder %1, %2").arg(values::shown(m_holder), m_holderName),
            {{QStringLiteral("Certificate"), 1.3},
             {QStringLiteral("Type"), 1.1},
             {QStringLiteral("Publish date"), 1},
             {QStringLiteral("Item code"), 1.4},
             {QStringLiteral("Quantity"), 0.9, true}});
        m_inTable = true;
    }
    const QVariant& quantity = values.value(4);
    if (const std::optional<qint64> number = values::wholeNumber(quantity).whole(); !number)
        ++m_leftOut;
    else
        m_tooLarge = m_tooLarge || qAddOverflow(m_total, *number, &m_total);
    m_pages.row({values::shown(values.value(0)),
                 coded(values.value(1), {QStringLiteral("common"), QStringLiteral("special")}, 1),
                 values::shown(values.value(2)), values::shown(values.value(3)), values::shown(quantity)},
                m_certificatesFound.contains(rowKey) ? Style::Finding : Style::Body);
}

void MemberRegister::endHolder()
{
    if (m_inTable) {
        m_pages.closingRow(
            {QStringLiteral("Total"), {}, {}, {}, m_tooLarge ? QStringLiteral("too large") : QString::number(m_total)});
        m_pages.endTable();
        if (m_leftOut > 0)
            m_pages.text(QStringLiteral("%1 left out of the total.")
                             .arg(count(m_leftOut, "quantity that is no whole number is",
                                        "quantities that are no whole number are")));
    } else {
        m_pages.text(QStringLiteral("Holds no certificates now."));
    }
    const std::optional<qint64> number = values::wholeNumber(m_holder).whole();
    if (!number)
        return;
    QList<qsizetype> found = m_byHolder.values(*number);
    std::sort(found.begin(), found.end()); // in the check's order
    for (const qsizetype index : std::as_const(found))
        m_pages.text(QStringLiteral("Finding: ") + m_findings[index].text, Style::Finding);
}

void MemberRegister::beginLedger()
{
    m_pages.space();
    heading(QStringLiteral("Transfers ledger"));
    m_pages.beginTable(QStringLiteral("Transfers, in date order"), {{QStringLiteral("Certificate"), 1.3},
                                                                    {QStringLiteral("Date"), 1},
                                                                    {QStringLiteral("Previous holder"), 2.2},
                                                                    {QStringLiteral("New holder"), 2.2},
                                                                    {QStringLiteral("Item code"), 1.4}});
}

void MemberRegister::transfer(const QVariantList& values, qint64 rowKey)
{
    ++m_counts.transfers;
    QStringList cells;
    for (const QVariant& value : values)
        cells.append(values::shown(value));
    cells[2] = registerrows::named(m_names, values.value(2));
    cells[3] = registerrows::named(m_names, values.value(3));
    m_pages.row(cells, m_transfersFound.contains(rowKey) ? Style::Finding : Style::Body);
}

void MemberRegister::endLedger()
{
    m_pages.endTable();
    if (m_counts.transfers == 0)
        m_pages.text(QStringLiteral("No certificate has been transferred."));
}

void MemberRegister::beginUnheld()
{
    m_pages.space();
    heading(QStringLiteral("Certificates held by no shareholder"));
    m_pages.beginTable(QStringLiteral("Certificates whose present holder is no shareholder's number"),
                       {{QStringLiteral("Certificate"), 1.3},
                        {QStringLiteral("Present holder"), 1.1},
                        {QStringLiteral("Publish date"), 1},
                        {QStringLiteral("Item code"), 1.4},
                        {QStringLiteral("Quantity"), 0.9, true}});
}

void MemberRegister::unheld(const QVariantList& values, qint64 rowKey)
{
    ++m_unheld;
    const QString holder = values::shown(values.value(1));
    m_pages.row({values::shown(values.value(0)), holder.trimmed().isEmpty() ? QStringLiteral("(none)") : holder,
                 values::shown(values.value(2)), values::shown(values.value(3)), values::shown(values.value(4))},
                m_certificatesFound.contains(rowKey) ? Style::Finding : Style::Body);
}

void MemberRegister::endUnheld()
{
    m_pages.endTable();
    if (m_unheld == 0)
        m_pages.text(QStringLiteral("None: every certificate is held by a shareholder."));
}

void MemberRegister::cancelled(const QList<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    m_pages.space();
    heading(QStringLiteral("Cancelled certificates"));
    m_pages.beginTable(QStringLiteral("Certificates cancelled, which count for no one from that day"),
                       {{QStringLiteral("Certificate"), 1.3},
                        {QStringLiteral("Cancelled"), 1},
                        {QStringLiteral("Reason"), 2},
                        {QStringLiteral("Replaced by"), 1.4}});
    for (const QStringList& row : rows)
        m_pages.row(row);
    m_pages.endTable();
}

void MemberRegister::finish()
{
    m_pages.space();
    if (m_heading.inspection) {
        m_pages.text(QStringLiteral("End of the register of members."), Style::Small);
        return;
    }
    heading(QStringLiteral("Findings tied to no shareholder above"));
    qint64 listed = 0;
    for (const registercheck::Finding& finding : m_findings) {
        if (finding.holder && m_sections.contains(*finding.holder))
            continue;
        m_pages.text(QStringLiteral("Finding: ") + finding.text, Style::Finding);
        ++listed;
    }
    if (listed == 0)
        m_pages.text(QStringLiteral("None."));
    m_pages.space();
    m_pages.text(QStringLiteral("End of the register of members."), Style::Small);
}
