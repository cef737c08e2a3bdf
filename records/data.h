#pragma once

#include "recordbinding.h"
#include "status.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class Dialogs;
class QAbstractButton;
class QLabel;
class QLineEdit;
class Recordset;

// The record source control: opens one table of a register, keeps the fields bound to it showing the current
// record, stores their typed text by the record set's rules, and draws the navigation bar (first and previous at
// the left, next and last at the right, the caption between). A move started from the bar that fails is shown by
// the bar itself, and the record stays. Page Down and Page Up anywhere in the bar's window click next and previous;
// with Ctrl, last and first.
class Data : public QWidget, private RecordBinding {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName READ databaseName WRITE setDatabaseName)
    Q_PROPERTY(QString RecordSource READ recordSource WRITE setRecordSource)
    Q_PROPERTY(QString Connect READ connectKind CONSTANT)
    Q_PROPERTY(QString Caption READ caption CONSTANT)
public:
    Data(Dialogs& dialogs, QWidget* parent);
    ~Data() override;

    QString databaseName() const { return m_databaseName; }
    // Takes effect at the next refresh.
    void setDatabaseName(const QString& path) { m_databaseName = path; }
    QString recordSource() const { return m_recordSource; }
    // Takes effect at the next refresh.
    void setRecordSource(const QString& table) { m_recordSource = table; }
    QString connectKind() const { return QStringLiteral("Access"); }
    QString caption() const { return QStringLiteral("Data1"); }

    // (Re)opens the table on its first record. When this fails, whatever was open stays open.
    Status refresh();
    // The open record set; none before the first successful refresh.
    Recordset* recordset() const { return m_recordset.get(); }
    // Raises the validate notification (unload), stores pending input and closes. On a failure it stays open.
    Status unload();

    // An editable bound field, with a changed mark set by any change not made by the record source.
    void bind(QLineEdit* field, const QString& column);
    // A display-only bound field.
    void bind(QLabel* field, const QString& column);
    bool isChanged(const QLineEdit* field) const;

Q_SIGNALS:
    // Raised before every move, add, save, delete and find, and on unload; the action always goes ahead.
    void validate(Action action, bool save);
    // A move from the bar failed and the record stayed, with anything typed still pending; raised before the
    // bar shows why. The column is the one whose typed value was refused, if that was the reason.
    void moveRefused(const QString& column);

private:
    struct Bound {
        QPointer<QWidget> field;
        QString column;
        bool changed = false;
    };

    void buildBar();
    void moveFromBar(QAbstractButton* button, Status (Recordset::*move)());
    void notifyValidate(Action action, bool save) override;
    QList<FieldInput> changedFields() const override;
    void fill() override;
    void clearChanged() override;

    Dialogs& m_dialogs;
    QString m_databaseName;
    QString m_recordSource;
    std::unique_ptr<Recordset> m_recordset;
    std::vector<Bound> m_bound;
    bool m_filling = false;
};
