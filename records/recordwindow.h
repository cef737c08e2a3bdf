#pragma once

#include "status.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class Data;
class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class Recordset;

namespace form {
class Form;
}
namespace records {
struct Description;
}

// A record window: one table of the register shown one record at a time, with Add, Modify, Delete, Exit, the
// record source's navigation bar and a Query menu. Everything it does is here; a window's description gives
// only its layout, fields, searches and Enter-key chain.
class RecordWindow : public QMainWindow {
    Q_OBJECT
public:
    RecordWindow(const records::Description& description, Dialogs& dialogs, const QString& registerDirectory);
    ~RecordWindow() override;

    // Opens the record source on the register and the window's table, in browse mode. A window that fails to
    // load is not to be shown.
    Status load();
    // The window has become the program's active window: shown for the first time, or given the focus back by
    // another window of the program (the about window). Message boxes, the query prompt and other programs do
    // not count, so their closing never touches the fields. On an empty table it disables the fields and puts
    // the focus on Add.
    void activate();

Q_SIGNALS:
    // The record source has stored what was typed and closed: the main menu is to come back.
    void exitRequested();
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The window's mode lives in its controls; this is a copy of it, taken when the record source announces a
    // save, to come back to when the save is refused.
    struct Mode {
        bool editing = false;
        QString caption;
        QPointer<QWidget> focus;
    };

    void buildControls();
    void describeBoundControls();
    void buildSource();
    void buildMenus();
    void buildChain();
    void connectCommands();
    void placeOnScreen();

    void add();
    void modify();
    void remove();
    void validate();
    void leave();
    void search(int index);
    Status goBack(std::optional<qint64> bookmark);

    void browse();
    void sweep(bool editing);
    void recover(const QString& refusedColumn);
    void report(const Status& failure);
    Recordset* recordset() const;

    const records::Description& m_description;
    Dialogs& m_dialogs;
    QString m_registerDirectory;
    std::unique_ptr<form::Form> m_form;
    Data* m_data = nullptr;
    QPushButton* m_modify = nullptr;
    QList<QLineEdit*> m_fields;
    QList<QLabel*> m_labels;
    std::optional<Mode> m_beforeSave;
    bool m_left = false;
};
