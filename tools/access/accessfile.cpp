#include "accesssource.h"
#include "jetdecimal.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <array>
#include <bit>
#include <optional>

#include <iconv.h>

// The one place that includes libmdb. Its 1.0 header includes glib.h inside extern "C", which glib's C++ parts do
// not survive; included first, glib's guard keeps it out of there.
#include <glib.h>
#include <mdbtools.h>

namespace jet {
namespace {

constexpr int rowOffsetMask = 0x1fff; // a row's offset on its page, without the deleted and lookup flags
constexpr size_t textBindSize = MDB_BIND_SIZE;

struct CloseHandle {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct FreeTable {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using Handle = std::unique_ptr<MdbHandle, CloseHandle>;
using TableDef = std::unique_ptr<MdbTableDef, FreeTable>;

Status refusal(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot read the Access file \"%1\": %2.").arg(path, reason));
}

QString formatName(guint32 version)
{
    switch (version) {
    case MDB_VER_JET3:
        return QStringLiteral("Jet 3");
    case MDB_VER_JET4:
        return QStringLiteral("Jet 4");
    case MDB_VER_ACCDB_2007:
        return QStringLiteral("ACE 12");
    case MDB_VER_ACCDB_2010:
        return QStringLiteral("ACE 14");
    case MDB_VER_ACCDB_2013:
        return QStringLiteral("ACE 15");
    case MDB_VER_ACCDB_2016:
        return QStringLiteral("ACE 16");
    case MDB_VER_ACCDB_2019:
        return QStringLiteral("ACE 17");
    default:
        return QStringLiteral("Access (version %1)").arg(version);
    }
}

std::pair<Type, QString> columnType(int mdbType)
{
    switch (mdbType) {
    case MDB_BOOL:
        return {Type::Boolean, QStringLiteral("Yes/No")};
    case MDB_BYTE:
        return {Type::Byte, QStringLiteral("Byte")};
    case MDB_INT:
        return {Type::Integer, QStringLiteral("Integer")};
    case MDB_LONGINT:
        return {Type::LongInteger, QStringLiteral("Long Integer")};
    case MDB_MONEY:
        return {Type::Currency, QStringLiteral("Currency")};
    case MDB_FLOAT:
        return {Type::Single, QStringLiteral("Single")};
    case MDB_DOUBLE:
        return {Type::Double, QStringLiteral("Double")};
    case MDB_DATETIME:
        return {Type::DateTime, QStringLiteral("Date/Time")};
    case MDB_TEXT:
        return {Type::Text, QStringLiteral("Text")};
    case MDB_MEMO:
        return {Type::Memo, QStringLiteral("Memo")};
    case MDB_NUMERIC:
        return {Type::Decimal, QStringLiteral("Decimal")};
    case MDB_BINARY:
        return {Type::Other, QStringLiteral("Binary")};
    case MDB_OLE:
        return {Type::Other, QStringLiteral("OLE Object")};
    case MDB_REPID:
        return {Type::Other, QStringLiteral("Replication ID")};
    case MDB_COMPLEX:
        return {Type::Other, QStringLiteral("Attachment")};
    default:
        return {Type::Other, QStringLiteral("Unknown (type %1)").arg(mdbType)};
    }
}

bool isUserTable(const MdbCatalogEntry* entry)
{
    return entry->object_type == MDB_TABLE && mdb_is_user_table(const_cast<MdbCatalogEntry*>(entry))
           && !QByteArray(entry->object_name).startsWith("MSys");
}

MdbColumn* columnAt(const MdbTableDef* table, unsigned int index)
{
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, index));
}

class MdbSource final : public Source {
public:
    MdbSource(QString path, Handle mdb)
        : m_path(std::move(path))
        , m_mdb(std::move(mdb))
    {}

    // Reads the catalog and every user table's columns and row count.
    Status load()
    {
        if (!mdb_read_catalog(m_mdb.get(), MDB_TABLE))
            return refusal(m_path, QStringLiteral("its list of tables cannot be read"));
        for (unsigned int i = 0; i < m_mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->catalog, i));
            if (!isUserTable(entry))
                continue;
            const QString name = QString::fromUtf8(entry->object_name);
            TableDef definition(mdb_read_table(entry));
            if (!definition || !mdb_read_columns(definition.get()))
                return refusal(m_path, QStringLiteral("the table \"%1\" cannot be read").arg(name));
            Table table;
            table.name = name;
            table.rows = definition->num_rows;
            for (unsigned int c = 0; c < definition->num_cols; ++c) {
                const MdbColumn* column = columnAt(definition.get(), c);
                const auto [type, typeName] = columnType(column->col_type);
                table.columns.append({QString::fromUtf8(column->name), type, typeName});
            }
            m_tables.append(table);
            m_entries.insert(name, entry);
        }
        return {};
    }

    QString format() const override { return formatName(m_mdb->f->jet_version); }
    QList<Table> tables() const override { return m_tables; }

    Status readRows(const QString& name, const std::function<Status(const Row&)>& take) const override
    {
        MdbCatalogEntry* entry = m_entries.value(name);
        if (!entry)
            return Status::failure(QStringLiteral("The Access file \"%1\" has no table \"%2\".").arg(m_path, name));
        TableDef table(mdb_read_table(entry));
        if (!table || !mdb_read_columns(table.get()))
            return refusal(m_path, QStringLiteral("the table \"%1\" cannot be read").arg(name));
        mdb_rewind_table(table.get());
        for (;;) {
            Row row;
            if (!mdb_fetch_row(table.get()))
                return {};
            if (Status cracked = currentRow(table.get(), row); !cracked)
                return cracked;
            if (Status taken = take(row); !taken)
                return taken;
        }
    }

private:
    // The row mdb_fetch_row has just found, still on the current page, value by value from its stored bytes.
    Status currentRow(MdbTableDef* table, Row& row) const
    {
        MdbHandle* mdb = m_mdb.get();
        const auto damaged = [&] {
            return refusal(m_path,
                           QStringLiteral("a row of the table \"%1\" is damaged").arg(QString::fromUtf8(table->name)));
        };
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 || mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0)
            return damaged();
        std::array<MdbField, MDB_MAX_COLS> fields{};
        const int cracked = mdb_crack_row(table, start & rowOffsetMask, size, fields.data());
        if (cracked < 0)
            return damaged();
        const unsigned int count = qMin(table->num_cols, unsigned(MDB_MAX_COLS));
        row = Row(qsizetype(table->num_cols));
        for (unsigned int i = 0; i < count && i < unsigned(cracked); ++i) {
            const MdbField& field = fields[i];
            if (field.colnum < 0 || unsigned(field.colnum) >= table->num_cols)
                return damaged();
            const MdbColumn* column = columnAt(table, unsigned(field.colnum));
            if (!value(column, field, row[field.colnum]))
                return damaged();
        }
        return {};
    }

    // False when the stored bytes are too short for the column's type.
    bool value(const MdbColumn* column, const MdbField& field, QVariant& out) const
    {
        // A Yes/No lives in the null mask: a set bit is Yes.
        if (column->col_type == MDB_BOOL) {
            out = qlonglong(field.is_null ? 0 : 1);
            return true;
        }
        if (field.is_null)
            return true;
        const auto* bytes = static_cast<const uchar*>(field.value);
        const int size = field.siz;
        auto fits = [&](int wanted) {
            return bytes && size >= wanted;
        };
        switch (column->col_type) {
        case MDB_BYTE:
            if (!fits(1))
                return false;
            out = qlonglong(bytes[0]);
            return true;
        case MDB_INT:
            if (!fits(2))
                return false;
            out = qlonglong(qFromLittleEndian<qint16>(bytes));
            return true;
        case MDB_LONGINT:
            if (!fits(4))
                return false;
            out = qlonglong(qFromLittleEndian<qint32>(bytes));
            return true;
        case MDB_FLOAT:
            if (!fits(4))
                return false;
            out = std::bit_cast<float>(qFromLittleEndian<quint32>(bytes));
            return true;
        case MDB_DOUBLE:
        case MDB_DATETIME: // the stored day count, not libmdb's formatting of it
            if (!fits(8))
                return false;
            out = std::bit_cast<double>(qFromLittleEndian<quint64>(bytes));
            return true;
        case MDB_MONEY:
            if (!fits(8))
                return false;
            out = jetdecimal::currency(bytes);
            return true;
        case MDB_NUMERIC:
            if (!fits(17))
                return false;
            // libmdb 1.0 reads a Decimal's precision into col_scale and its scale into col_prec.
            out = jetdecimal::decimal(bytes, column->col_prec >= 0 && column->col_prec <= 28 ? column->col_prec : 0);
            return true;
        case MDB_TEXT:
            out = size == 0 ? QString(QLatin1String("")) : text(MDB_TEXT, field.start, size, textBindSize);
            return true;
        case MDB_MEMO: {
            if (!fits(MDB_MEMO_OVERHEAD))
                return false;
            // Room for the whole memo as UTF-8: at most three bytes for each stored byte.
            const size_t stored = qFromLittleEndian<quint32>(bytes) & 0x3fffffff; // the top bits are flags
            out = text(MDB_MEMO, field.start, size, qMax(textBindSize, 3 * stored + 16));
            return true;
        }
        default:
            out = QByteArray(reinterpret_cast<const char*>(bytes), bytes ? size : 0);
            return true;
        }
    }

    // Text or a memo through libmdb, which hands back UTF-8 in a buffer of its bind size.
    QString text(int type, int start, int size, size_t bindSize) const
    {
        MdbHandle* mdb = m_mdb.get();
        const size_t previous = mdb->bind_size;
        mdb_set_bind_size(mdb, bindSize);
        char* converted = mdb_col_to_string(mdb, mdb->pg_buf, start, type, size);
        mdb_set_bind_size(mdb, previous);
        QString result = converted ? QString::fromUtf8(converted) : QString(QLatin1String(""));
        g_free(converted);
        return result;
    }

    QString m_path;
    Handle m_mdb;
    QList<Table> m_tables;
    QHash<QString, MdbCatalogEntry*> m_entries; // owned by the handle's catalog
};

// Refuses anything but an Access file before libmdb sees it: libmdb is not made for garbage.
Status checkSignature(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return refusal(path, QStringLiteral("there is no such file"));
    if (!info.isFile())
        return refusal(path, QStringLiteral("it is not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refusal(path, file.errorString().toLower());
    if (file.size() == 0)
        return refusal(path, QStringLiteral("it is empty"));
    const QByteArray head = file.read(0x15);
    const QByteArray signature = head.mid(4, 15);
    if (signature != "Standard Jet DB" && signature != "Standard ACE DB")
        return refusal(path, QStringLiteral("it is not an Access database"));
    // The file is whole pages (2 KB in Jet 3, 4 KB after); libmdb loops on one that is cut short.
    const qint64 pageSize = head.size() > 0x14 && head[0x14] == 0 ? 2048 : 4096;
    if (file.size() < 4096 || file.size() % pageSize != 0)
        return refusal(path, QStringLiteral("it is cut short"));
    return {};
}

// Sets a variable for as long as it lives and then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_wasSet)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_previous;
};

bool knownCodePage(const QByteArray& name)
{
    const iconv_t converter = iconv_open("UTF-8", name.constData());
    if (converter == iconv_t(-1))
        return false;
    iconv_close(converter);
    return true;
}

} // namespace

Expected<std::unique_ptr<Source>> open(const QString& path, const QString& codepage)
{
    if (Status checked = checkSignature(path); !checked)
        return checked;
    const QByteArray charset = codepage.toLatin1();
    if (!codepage.isEmpty() && !knownCodePage(charset))
        return refusal(path, QStringLiteral("the code page \"%1\" is not known").arg(codepage));

    Handle mdb;
    {
        // libmdb takes the Jet 3 code page from the environment when it opens the file.
        std::optional<ScopedEnvironment> jet3Charset;
        if (!codepage.isEmpty())
            jet3Charset.emplace("MDB_JET3_CHARSET", charset);
        mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    }
    if (!mdb)
        return refusal(path, QStringLiteral("it is damaged or of a kind libmdb cannot read"));

    auto source = std::make_unique<MdbSource>(path, std::move(mdb));
    if (Status loaded = source->load(); !loaded)
        return loaded;
    return std::unique_ptr<Source>(std::move(source));
}

} // namespace jet
