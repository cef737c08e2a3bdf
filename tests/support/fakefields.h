#pragma once

#include "recordbinding.h"
#include "recordset.h"

#include <QHash>
#include <QSet>

// Bound fields without widgets: the texts a window would show, the changed marks, and every notification.
class FakeFields final : public RecordBinding {
public:
    explicit FakeFields(QStringList boundColumns)
        : columns(std::move(boundColumns))
    {}

    const Recordset* recordset = nullptr;
    QStringList columns;
    QHash<QString, QString> texts;
    QSet<QString> changed;
    QList<std::pair<Action, bool>> validations;
    int fills = 0;

    // The clerk types into a field.
    void type(const QString& column, const QString& text)
    {
        texts[column] = text;
        changed.insert(column);
    }

    void notifyValidate(Action action, bool save) override { validations.append({action, save}); }

    QList<FieldInput> changedFields() const override
    {
        QList<FieldInput> input;
        for (const QString& column : columns) {
            if (changed.contains(column))
                input.append({column, texts.value(column)});
        }
        return input;
    }

    void fill() override
    {
        ++fills;
        for (const QString& column : columns)
            texts[column] = recordset ? recordset->text(column) : QString();
        changed.clear();
    }

    void clearChanged() override { changed.clear(); }
};
