#include "sqlitefunctions.h"

#include "criteria.h"
#include "values.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cstring>

namespace sqlitefunctions {

namespace {

int asciiFolded(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// Narrows a text to what stands between the blanks before and after it.
void withoutBlanksAround(const unsigned char*& text, int& length)
{
    while (length > 0 && text[0] == ' ') {
        ++text;
        --length;
    }
    while (length > 0 && text[length - 1] == ' ')
        --length;
}

// Compares case-folded text without the blanks around it. Plain ASCII, by far the common case, is compared
// byte by byte; from the first non-ASCII byte on, both remainders are folded in full.
int compareFolded(void*, int leftLength, const void* leftData, int rightLength, const void* rightData)
{
    const auto* left = static_cast<const unsigned char*>(leftData);
    const auto* right = static_cast<const unsigned char*>(rightData);
    withoutBlanksAround(left, leftLength);
    withoutBlanksAround(right, rightLength);
    int at = 0;
    for (; at < leftLength && at < rightLength && left[at] < 0x80 && right[at] < 0x80; ++at) {
        const int difference = asciiFolded(left[at]) - asciiFolded(right[at]);
        if (difference != 0)
            return difference;
    }
    // One side ended: folding never empties a text, so the longer one follows.
    if (at == leftLength || at == rightLength)
        return leftLength - rightLength;
    const QString leftRest =
        QString::fromUtf8(reinterpret_cast<const char*>(left + at), leftLength - at).toCaseFolded();
    const QString rightRest =
        QString::fromUtf8(reinterpret_cast<const char*>(right + at), rightLength - at).toCaseFolded();
    return leftRest.compare(rightRest);
}

void valOf(sqlite3_context* context, int, sqlite3_value** arguments)
{
    sqlite3_value* value = arguments[0];
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(value));
        return;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, sqlite3_value_double(value));
        return;
    default:
        break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const QVariant number = criteria::val(QString::fromUtf8(text, sqlite3_value_bytes(value)));
    if (number.typeId() == QMetaType::LongLong)
        sqlite3_result_int64(context, number.toLongLong());
    else
        sqlite3_result_double(context, number.toDouble());
}

void wholeOf(sqlite3_context* context, int, sqlite3_value** arguments)
{
    sqlite3_value* value = arguments[0];
    QVariant stored;
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(value));
        return;
    case SQLITE_FLOAT:
        stored = sqlite3_value_double(value);
        break;
    case SQLITE_BLOB:
        stored = QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
        break;
    default:
        stored =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
        break;
    }
    const values::WholeNumber number = values::wholeNumber(stored);
    if (number.form == values::WholeNumber::Whole)
        sqlite3_result_int64(context, number.value);
    else
        sqlite3_result_null(context);
}

sqlite3* handleOf(const QSqlDatabase& database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || std::strcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

} // namespace

Status install(const QSqlDatabase& database)
{
    sqlite3* handle = handleOf(database);
    if (!handle)
        return Status::failure(QStringLiteral("the database driver is not SQLite"));
    if (sqlite3_create_collation_v2(handle, textCollation, SQLITE_UTF8, nullptr, compareFolded, nullptr) != SQLITE_OK
        || sqlite3_create_function_v2(handle, valFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, valOf,
                                      nullptr, nullptr, nullptr)
               != SQLITE_OK
        || sqlite3_create_function_v2(handle, wholeFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, wholeOf,
                                      nullptr, nullptr, nullptr)
               != SQLITE_OK)
        return Status::failure(QString::fromUtf8(sqlite3_errmsg(handle)));
    return {};
}

bool fileHasMoved(const QSqlDatabase& database)
{
    sqlite3* handle = handleOf(database);
    int moved = 0;
    // A file system that cannot tell is taken at its word: the engine itself still refuses a vanished file.
    if (!handle || sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        return false;
    return moved != 0;
}

void waitOften(const QSqlDatabase& database, int ms)
{
    sqlite3* handle = handleOf(database);
    if (!handle)
        return;
    const auto retry = [](void* limit, int tries) -> int {
        if (tries >= static_cast<int>(reinterpret_cast<qintptr>(limit)))
            return 0;
        sqlite3_sleep(1);
        return 1;
    };
    sqlite3_busy_handler(handle, retry, reinterpret_cast<void*>(static_cast<qintptr>(ms)));
}

Status backup(const QSqlDatabase& from, const QSqlDatabase& to)
{
    sqlite3* source = handleOf(from);
    sqlite3* target = handleOf(to);
    if (!source || !target)
        return Status::failure(QStringLiteral("the database driver is not SQLite"));
    // A read transaction open on the source is used as it is, not ended: the copy is of its moment.
    sqlite3_backup* copy = sqlite3_backup_init(target, "main", source, "main");
    if (!copy)
        return Status::failure(QString::fromUtf8(sqlite3_errmsg(target)));
    const int stepped = sqlite3_backup_step(copy, -1);
    const int finished = sqlite3_backup_finish(copy);
    if (stepped == SQLITE_DONE && finished == SQLITE_OK)
        return {};
    return Status::failure(QString::fromUtf8(sqlite3_errstr(finished != SQLITE_OK ? finished : stepped)));
}

} // namespace sqlitefunctions
