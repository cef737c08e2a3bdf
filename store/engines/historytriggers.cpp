#include "historytriggers.h"

#include "history.h"
#include "schema.h"

namespace historytriggers {

namespace {

const char triggerName[] = "velmora_history";

// The function runs with its owner's rights, so a clerk who may only read the history still adds to it, and
// with the search path of the register's schema, so that no one's own objects stand in for its tables. The
// login is the server's (session_user) and the time its clock. The entry's content is written as compact JSON,
// byte for byte as the program writes it, and sealed with the seal before it under the history's lock.
const char entryFunction[] = R"(CREATE OR REPLACE FUNCTION velmora_history_entry() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    before jsonb := CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END;
    after jsonb := CASE WHEN TG_OP <> 'DELETE' THEN to_jsonb(NEW) END;
    parts text[] := '{}';
    old_value text;
    new_value text;
    entry_action text := CASE TG_OP WHEN 'INSERT' THEN 'add' WHEN 'UPDATE' THEN 'modify' ELSE 'delete' END;
    entry_role text := CASE WHEN current_setting('role') = 'none' THEN session_user::text
                            ELSE current_setting('role') END;
    entry_record text := coalesce(coalesce(after, before) ->> TG_ARGV[0], '');
    entry_key bigint := (coalesce(after, before) ->> 'row_id')::bigint;
    entry_at text := to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"');
    entry_changes text;
    last_seq bigint;
    previous text;
    content text;
BEGIN
    IF to_regclass('velmora_history') IS NULL THEN
        RETURN NULL;
    END IF;
    FOR i IN 1 .. array_length(TG_ARGV, 1) - 1 LOOP
        old_value := coalesce(before -> TG_ARGV[i], 'null')::text;
        new_value := coalesce(after -> TG_ARGV[i], 'null')::text;
        IF old_value IS DISTINCT FROM new_value THEN
            parts := parts || ('[' || to_json(TG_ARGV[i])::text || ',' || old_value || ',' || new_value || ']');
        END IF;
    END LOOP;
    IF TG_OP = 'UPDATE' AND cardinality(parts) = 0 THEN
        RETURN NULL;
    END IF;
    entry_changes := '[' || array_to_string(parts, ',') || ']';
    PERFORM pg_advisory_xact_lock(hashtext(current_schema() || '.velmora_history'));
    SELECT seq, hash INTO last_seq, previous FROM velmora_history ORDER BY seq DESC LIMIT 1;
    last_seq := coalesce(last_seq, 0) + 1;
    previous := coalesce(previous, '');
    content := '[' || array_to_string(ARRAY[to_json(entry_at)::text, to_json(session_user::text)::text,
        to_json(entry_role)::text, to_json(TG_TABLE_NAME::text)::text, to_json(entry_key::text)::text,
        to_json(entry_record)::text, to_json(entry_action)::text, to_json(entry_changes)::text,
        to_json(previous)::text], ',') || ']';
    INSERT INTO velmora_history (seq, changed_at, clerk, db_role, table_name, row_key, record, action, changes,
                                 previous_hash, hash)
    VALUES (last_seq, entry_at, session_user, entry_role, TG_TABLE_NAME, entry_key, entry_record, entry_action,
            entry_changes, previous, encode(sha256(convert_to(content, 'UTF8')), 'hex'));
    RETURN NULL;
END
$$)";

QString literal(const QString& text)
{
    QString inner = text;
    return QLatin1Char('\'') + inner.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString tableList()
{
    QStringList names;
    for (const schema::Table& table : schema::everyTable())
        names.append(literal(table.name));
    return names.join(QLatin1String(", "));
}

} // namespace

QStringList install()
{
    // Replacing a trigger says so at the level of a notice, which is no news to the clerk.
    QStringList statements{QStringLiteral("SET LOCAL client_min_messages = warning"), QString::fromUtf8(entryFunction)};
    for (const schema::Table& table : schema::everyTable()) {
        // The number column first, for the entry's record, then every column in the table's order.
        QStringList arguments{literal(table.numberColumn().name)};
        for (const schema::Column& column : table.columns)
            arguments.append(literal(column.name));
        statements << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(triggerName, schema::quoted(table.name))
                   << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 FOR EACH ROW "
                                     "EXECUTE FUNCTION velmora_history_entry(%3)")
                          .arg(triggerName, schema::quoted(table.name), arguments.join(QLatin1String(", ")));
    }
    return statements;
}

QString missing()
{
    // A table the register does not hold yet (one added after it was made) has nothing to keep.
    return QStringLiteral("SELECT name FROM unnest(ARRAY[%1]) AS name WHERE to_regclass(quote_ident(name)) IS NOT NULL "
                          "AND NOT EXISTS (SELECT 1 FROM pg_trigger t WHERE t.tgrelid = to_regclass(quote_ident(name)) "
                          "AND t.tgname = '%2' AND t.tgenabled <> 'D') ORDER BY name")
        .arg(tableList(), QLatin1String(triggerName));
}

QString present()
{
    return QStringLiteral("EXISTS (SELECT 1 FROM pg_trigger t WHERE t.tgname = '%1' AND t.tgrelid IN (SELECT "
                          "to_regclass(quote_ident(name)) FROM unnest(ARRAY[%2]) AS name))")
        .arg(QLatin1String(triggerName), tableList());
}

} // namespace historytriggers
