#include "recordwindow.h"

#include "data.h"
#include "description.h"
#include "dialogs.h"
#include "enterchain.h"
#include "formbuilder.h"
#include "pictures.h"
#include "placement.h"
#include "recordset.h"
#include "registerpath.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include <algorithm>

namespace {

const QString modifyCaption = QStringLiteral("Modify");
const QString okCaption = QStringLiteral("OK");

QString text(const char* latin)
{
    return QString::fromUtf8(latin);
}

// How far a control stands from a label on the label's line, on the side given; none when it stands elsewhere.
std::optional<int> distance(const form::Row& label, const form::Row& control, bool toTheRight)
{
    const int middle = label.rect.top + label.rect.height / 2;
    if (qstrcmp(label.parent, control.parent) != 0 || middle < control.rect.top
        || middle >= control.rect.top + control.rect.height)
        return std::nullopt;
    const int gap = toTheRight ? control.rect.left - (label.rect.left + label.rect.width)
                               : label.rect.left - (control.rect.left + control.rect.width);
    return gap >= 0 ? std::optional(gap) : std::nullopt;
}

} // namespace

RecordWindow::RecordWindow(const records::Description& description, Dialogs& dialogs, const QString& registerDirectory)
    : m_description(description)
    , m_dialogs(dialogs)
    , m_registerDirectory(registerDirectory)
{
    setObjectName(text(description.name));
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(pictures::icon(pictures::recordIcon));
    // A sizable border and a title bar with the caption only: no system menu, no minimize, maximize or close.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(description.modality);
    buildControls();
    buildSource();
    buildMenus();
    buildChain();
    connectCommands();
    placeOnScreen();
}

RecordWindow::~RecordWindow() = default;

void RecordWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    m_form = std::make_unique<form::Form>(client, m_description.controls);
    m_modify = m_form->get<QPushButton>(QStringLiteral("cmdModify"));
    for (const records::Field& field : m_description.fields)
        m_fields.append(m_form->get<QLineEdit>(text(field.name)));
    for (const records::Field& label : m_description.labels)
        m_labels.append(m_form->get<QLabel>(text(label.name)));
    Q_ASSERT(m_modify && !m_fields.contains(nullptr) && !m_labels.contains(nullptr));
    describeBoundControls();
    m_form->firstInTabOrder()->setFocus();
}

void RecordWindow::describeBoundControls()
{
    // For a screen reader: a caption ends in a colon and names the nearest bound control to its right; a hint
    // stands in brackets and describes the nearest one to its left.
    const auto isBound = [this](const form::Row& row) {
        const auto named = [&row](const records::Field& field) {
            return qstrcmp(field.name, row.name) == 0;
        };
        return std::ranges::any_of(m_description.fields, named) || std::ranges::any_of(m_description.labels, named);
    };
    for (const form::Row& label : m_description.controls) {
        const QString words = text(label.text);
        const bool caption = words.endsWith(u':');
        if (label.kind != form::Kind::Label || !(caption || (words.startsWith(u'(') && words.endsWith(u')'))))
            continue;
        const form::Row* nearest = nullptr;
        std::optional<int> shortest;
        for (const form::Row& control : m_description.controls) {
            const std::optional<int> gap = isBound(control) ? distance(label, control, caption) : std::nullopt;
            if (gap && (!shortest || *gap < *shortest)) {
                nearest = &control;
                shortest = gap;
            }
        }
        if (!nearest)
            continue;
        QWidget* control = m_form->widget(text(nearest->name));
        if (caption) {
            control->setAccessibleName(words.chopped(1));
            m_form->get<QLabel>(text(label.name), label.index)->setBuddy(control);
        } else {
            control->setAccessibleDescription(words.mid(1).chopped(1));
        }
    }
}

void RecordWindow::buildSource()
{
    m_data = new Data(m_dialogs, centralWidget());
    m_data->setObjectName(text(m_description.source));
    m_data->setGeometry(m_description.sourceRect.pixels());
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_data->bind(m_fields[i], text(m_description.fields[i].column));
    for (qsizetype i = 0; i < m_labels.size(); ++i)
        m_data->bind(m_labels[i], text(m_description.labels[i].column));
}

void RecordWindow::buildMenus()
{
    QMenu* records = menuBar()->addMenu(text(m_description.menuCaption));
    records->setObjectName(text(m_description.menuName));
    QMenu* find = records->addMenu(QStringLiteral("Query"));
    find->setObjectName(QStringLiteral("find"));
    for (int index = 0; index < int(m_description.searches.size()); ++index) {
        QAction* item = find->addAction(text(m_description.searches[index].caption));
        item->setObjectName(QStringLiteral("mfind"));
        item->setProperty("index", index);
        connect(item, &QAction::triggered, this, [this, index] { search(index); });
    }
    records->addSeparator()->setObjectName(QStringLiteral("x"));
    QAction* end = records->addAction(QStringLiteral("Exit"));
    end->setObjectName(QStringLiteral("end"));
    connect(end, &QAction::triggered, this, &RecordWindow::leave);
    QAction* about = menuBar()->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("about"));
    connect(about, &QAction::triggered, this, &RecordWindow::aboutRequested);
}

void RecordWindow::buildChain()
{
    auto* chain = new EnterChain(this);
    for (const records::ChainLink& link : m_description.chain) {
        QWidget* next = link.next ? m_form->widget(text(link.next)) : nullptr;
        chain->link(m_form->widget(text(link.field)), link.reactsTo, next);
    }
}

void RecordWindow::connectCommands()
{
    const auto button = [this](const char* name) {
        return m_form->get<QPushButton>(text(name));
    };
    connect(button("cmdNew"), &QPushButton::clicked, this, &RecordWindow::add);
    connect(m_modify, &QPushButton::clicked, this, &RecordWindow::modify);
    connect(button("cmdDelete"), &QPushButton::clicked, this, &RecordWindow::remove);
    connect(button("cmdExit"), &QPushButton::clicked, this, &RecordWindow::leave);
    connect(m_data, &Data::validate, this, &RecordWindow::validate);
    connect(m_data, &Data::moveRefused, this, &RecordWindow::recover);
}

void RecordWindow::placeOnScreen()
{
    placement::sizeClient(this, twips::size(m_description.client.width(), m_description.client.height()));
    placement::centreOnScreen(this);
}

Status RecordWindow::load()
{
    Expected<QString> location = registerpath::locate(m_registerDirectory);
    if (!location)
        return location.status();
    const QString& path = location.value();
    m_data->setDatabaseName(path);
    m_data->setRecordSource(text(m_description.table));
    if (Status opened = m_data->refresh(); !opened) {
        // A register not there yet is named with the commands that make one.
        const QString howToMake = registerpath::howToMake(path);
        return howToMake.isEmpty() ? opened : Status::failure(opened.message() + QLatin1Char('\n') + howToMake);
    }
    sweep(false);
    return {};
}

void RecordWindow::closeEvent(QCloseEvent* event)
{
    // The title bar has no close button; a close that arrives anyway is an Exit.
    event->ignore();
    leave();
}

void RecordWindow::activate()
{
    const Recordset* set = recordset();
    if (!set || !set->isBOF())
        return;
    sweep(false);
    m_form->widget(QStringLiteral("cmdNew"))->setFocus();
}

void RecordWindow::add()
{
    Recordset* set = recordset();
    if (!set)
        return;
    if (Status added = set->addNew(); !added)
        return report(added);
    sweep(true);
}

void RecordWindow::modify()
{
    Recordset* set = recordset();
    if (!set)
        return;
    if (m_modify->text() == modifyCaption) {
        if (Status opened = set->edit(); !opened)
            return report(opened);
        sweep(true);
        m_modify->setText(okCaption);
        return;
    }
    if (Status opened = set->edit(); !opened) {
        // Nothing is open for change any more, so there is nothing to confirm.
        report(opened);
        return browse();
    }
    const auto answer = m_dialogs.message(QStringLiteral("Are you sure modifying this record?"),
                                          QStringLiteral("Confirm"), Dialogs::Buttons::YesNo);
    if (answer == Dialogs::Answer::Yes) {
        if (Status stored = set->update(); !stored)
            return report(stored);
    } else {
        set->cancelUpdate();
    }
    browse();
}

void RecordWindow::remove()
{
    Recordset* set = recordset();
    if (!set || set->isBOF())
        return;
    const auto answer = m_dialogs.message(QStringLiteral("Are you sure deleting this record?"),
                                          QStringLiteral("Comfirm"), Dialogs::Buttons::YesNo);
    if (answer != Dialogs::Answer::Yes)
        return;
    if (Status deleted = set->deleteRecord(); !deleted)
        return report(deleted);
    if (Status reopened = m_data->refresh(); !reopened)
        report(reopened);
}

void RecordWindow::validate()
{
    m_beforeSave = Mode{!m_fields.isEmpty() && m_fields.first()->isEnabled(), m_modify->text(), focusWidget()};
    browse();
}

void RecordWindow::leave()
{
    if (m_left)
        return;
    if (Status unloaded = m_data->unload(); !unloaded)
        return report(unloaded);
    m_left = true;
    setEnabled(false);
    Q_EMIT exitRequested();
}

void RecordWindow::search(int index)
{
    const records::SearchItem& item = m_description.searches[index];
    const QString typed = m_dialogs.input(QStringLiteral("Input query criteria:"), QStringLiteral("Query"));
    Recordset* set = recordset();
    if (typed.isEmpty() || !set)
        return;
    // Without a current record (an empty table, or a first record being added) there is no place to keep.
    std::optional<Bookmark> saved;
    if (Expected<Bookmark> here = set->bookmark())
        saved = here.value();
    if (Status first = set->moveFirst(); !first)
        return report(first);
    const QString criteria = text(item.prefix) + typed + text(item.closing);
    if (Status found = set->findFirst(criteria); !found) {
        (void)goBack(saved);
        return report(found);
    }
    if (!set->isEOF())
        return;
    if (Status back = goBack(saved); !back)
        report(back);
    m_dialogs.beep();
    m_dialogs.message(QStringLiteral("No data in database!"), QStringLiteral("Error"), Dialogs::Buttons::Ok,
                      Dialogs::Icon::Information);
}

Status RecordWindow::goBack(std::optional<Bookmark> bookmark)
{
    Recordset* set = recordset();
    Status back = bookmark ? set->setBookmark(*bookmark) : set->moveFirst();
    if (!back)
        (void)set->moveFirst(); // that record has gone; the first one stands in
    return back;
}

void RecordWindow::browse()
{
    sweep(false);
    m_modify->setText(modifyCaption);
}

void RecordWindow::sweep(bool editing)
{
    for (QLineEdit* field : std::as_const(m_fields))
        field->setEnabled(editing);
    for (QLabel* label : std::as_const(m_labels))
        label->setEnabled(false);
}

void RecordWindow::recover(const QString& refusedColumn)
{
    // A refused save leaves the typed input pending: the window goes back to editing it, at the refused value.
    const Recordset* set = recordset();
    if (!m_beforeSave || !set || set->editState() == EditState::Browsing)
        return;
    sweep(m_beforeSave->editing);
    m_modify->setText(m_beforeSave->caption);
    QWidget* focus = m_beforeSave->focus;
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->isEnabled() && refusedColumn == QLatin1String(m_description.fields[i].column)) {
            m_fields[i]->selectAll();
            focus = m_fields[i];
        }
    }
    if (focus)
        focus->setFocus();
}

void RecordWindow::report(const Status& failure)
{
    recover(failure.column());
    m_dialogs.showFailure(failure.message());
}

Recordset* RecordWindow::recordset() const
{
    return m_data->recordset();
}
