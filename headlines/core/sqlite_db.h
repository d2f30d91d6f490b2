#pragma once
// A SQLite connection and its prepared statements, each held by scope: the
// statement is finalized and the connection closed when they go.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <sqlite3.h>

namespace headlines {

struct SqliteClose
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalize
{
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// One statement with its parameters bound by position (from 1).
class Statement
{
public:
    Statement(sqlite3* db, std::string_view sql);

    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, int value) { return Bind(index, std::int64_t{value}); }

    // True while there is a row to read; false once done. Errors are
    // reported by Result().
    bool Step();
    // Steps to the end; the last result code (SQLITE_DONE when it went well).
    int Run();
    void Reset();
    int Result() const { return m_result; }

    std::int64_t Int(int column) const;
    std::string Text(int column) const;

private:
    std::unique_ptr<sqlite3_stmt, SqliteFinalize> m_statement;
    int m_result = SQLITE_OK;
};

// A connection. Every statement goes through Statement, so every value is
// bound, never pasted into the SQL.
class Database
{
public:
    // Opens (and creates) the file; the result code is in OpenResult().
    explicit Database(const std::string& path);

    sqlite3* Handle() const { return m_db.get(); }
    int OpenResult() const { return m_openResult; }
    // Runs SQL without parameters, all statements of it; the result code.
    int Exec(const char* sql);
    std::string LastError() const;
    std::int64_t LastInsertId() const { return sqlite3_last_insert_rowid(m_db.get()); }
    int Changes() const { return sqlite3_changes(m_db.get()); }

private:
    std::unique_ptr<sqlite3, SqliteClose> m_db;
    int m_openResult = SQLITE_OK;
};

// A transaction that is rolled back unless committed.
class Transaction
{
public:
    // BEGIN IMMEDIATE: takes the write lock at once (waiting up to the busy
    // timeout) so it cannot fail half-way for a lock a reader holds.
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Began() const { return m_began; }
    bool Commit();

private:
    Database& m_db;
    bool m_began = false;
    bool m_done = false;
};

} // namespace headlines
