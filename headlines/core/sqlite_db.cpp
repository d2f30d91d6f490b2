#include "headlines/core/sqlite_db.h"

namespace headlines {

Statement::Statement(sqlite3* db, std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    m_result =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    m_statement.reset(statement);
}

Statement& Statement::Bind(int index, std::string_view text)
{
    if (m_statement)
        sqlite3_bind_text(m_statement.get(), index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::Bind(int index, std::int64_t value)
{
    if (m_statement)
        sqlite3_bind_int64(m_statement.get(), index, value);
    return *this;
}

bool Statement::Step()
{
    if (!m_statement)
        return false;
    m_result = sqlite3_step(m_statement.get());
    return m_result == SQLITE_ROW;
}

int Statement::Run()
{
    while (Step()) {
    }
    return m_result;
}

void Statement::Reset()
{
    if (!m_statement)
        return;
    sqlite3_reset(m_statement.get());
    sqlite3_clear_bindings(m_statement.get());
    m_result = SQLITE_OK;
}

std::int64_t Statement::Int(int column) const
{
    return sqlite3_column_int64(m_statement.get(), column);
}

std::string Statement::Text(int column) const
{
    const auto* text = sqlite3_column_text(m_statement.get(), column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(m_statement.get(), column)));
}

Database::Database(const std::string& path)
{
    sqlite3* db = nullptr;
    m_openResult =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    m_db.reset(db);
    if (db)
        sqlite3_extended_result_codes(db, 1);
}

int Database::Exec(const char* sql)
{
    return sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
}

std::string Database::LastError() const
{
    return m_db ? sqlite3_errmsg(m_db.get()) : "out of memory";
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_began = m_db.Exec("BEGIN IMMEDIATE") == SQLITE_OK;
}

Transaction::~Transaction()
{
    if (m_began && !m_done)
        m_db.Exec("ROLLBACK");
}

bool Transaction::Commit()
{
    if (!m_began || m_done)
        return false;
    m_done = m_db.Exec("COMMIT") == SQLITE_OK;
    return m_done;
}

} // namespace headlines
