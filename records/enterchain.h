#pragma once

#include "description.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

// Enter in an entry field moves the focus to the field's successor. The keystroke is only watched: it still
// reaches the field, and nothing typed is filtered or changed.
class EnterChain : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void link(QWidget* field, records::EnterKey reactsTo, QWidget* next);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Successor {
        records::EnterKey reactsTo = records::EnterKey::None;
        QPointer<QWidget> next;
    };
    QHash<const QObject*, Successor> m_links;
};
