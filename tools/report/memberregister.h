#pragma once

#include "registercheck.h"
#include "registerrows.h"
#include "reportheading.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVariantList>

class ReportPages;

// The register of members on a report's pages: a title, one section per shareholder with their details, the
// certificates they hold now and what the register check found about them, the transfers ledger, the certificates
// held by no shareholder, and the findings tied to no shareholder who has a section. It is handed the rows in
// order, as they are read.
class MemberRegister {
public:
    struct Counts {
        qint64 holders = 0;
        qint64 certificates = 0; // held by a shareholder, each once however many records share the number
        qint64 transfers = 0;
    };

    MemberRegister(ReportPages& pages, const QList<registercheck::Finding>& findings, ReportHeading heading = {});

    // The counts are those of an earlier run over the same rows; they take one line whatever they are.
    // view says which day and view the register is taken in, where it is not as it stands.
    void title(const QString& name, const QDateTime& made, const Counts& counts, const QString& view = {});
    // A shareholder's values, in the order of the stockholder table's columns.
    void holder(const QVariantList& values);
    // A certificate the shareholder holds now: stock_no, stock_type, publish_date, item_code and stock_qty.
    void certificate(const QVariantList& values, qint64 rowKey);
    void endHolder();
    void beginLedger();
    // stock_no, transferred_date, before_holder, new_holder and item_code.
    void transfer(const QVariantList& values, qint64 rowKey);
    void endLedger();
    void beginUnheld();
    // A certificate whose present holder names no shareholder: stock_no, present_holder, publish_date, item_code
    // and stock_qty.
    void unheld(const QVariantList& values, qint64 rowKey);
    void endUnheld();
    // The certificates cancelled (by the day the register is taken on): number, date, reason, replaced by.
    void cancelled(const QList<QStringList>& rows);
    // The findings tied to no shareholder who has a section.
    void finish();

    const Counts& counts() const { return m_counts; }

private:
    // A heading that starts a new page unless that many lines fit below it.
    void heading(const QString& text, qreal keptWith = 6);

    ReportPages& m_pages;
    const QList<registercheck::Finding>& m_findings;
    ReportHeading m_heading;
    QHash<qint64, registerrows::Holder>
        m_names; // each shareholder's name by number, the first record's where numbers repeat
    QMultiHash<qint64, qsizetype> m_byHolder;
    QSet<qint64> m_certificatesFound; // row keys of certificates with a finding
    QSet<qint64> m_transfersFound;
    QSet<qint64> m_sections; // the shareholders who have a section
    Counts m_counts;
    QVariant m_holder;
    QString m_holderName;
    bool m_repeated = false; // another record with the holder's number came before: its certificates are counted
    qint64 m_unheld = 0;
    bool m_inTable = false;
    qint64 m_total = 0;
    qint64 m_leftOut = 0; // quantities that are no whole number
    bool m_tooLarge = false;
};
