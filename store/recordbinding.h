#pragma once

#include <QList>
#include <QString>

// The action a record set is about to take when it raises the validate notification.
enum class Action { MoveFirst, MovePrevious, MoveNext, MoveLast, AddNew, Update, Delete, Find, Bookmark, Unload };

// The typed text of one bound text box that carries the changed mark.
struct FieldInput {
    QString column;
    QString text;
};

// What a record set needs from the fields bound to it.
class RecordBinding {
public:
    virtual ~RecordBinding() = default;

    // The validate notification, with the action about to happen and whether any field carries the changed
    // mark. The action goes ahead whatever the handler does.
    virtual void notifyValidate(Action action, bool save) = 0;
    // Every bound text box that carries the changed mark, with its text.
    virtual QList<FieldInput> changedFields() const = 0;
    // Fill every bound field from the record set's current record and clear the changed marks.
    virtual void fill() = 0;
    // The typed text has been stored: clear the changed marks and leave the texts as they are.
    virtual void clearChanged() = 0;
};
