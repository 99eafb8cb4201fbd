// Sql: the few ways the world's parts talk to SQLite, each failure put in
// one line of text fit for error.txt.
#pragma once
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace Sql {

// One statement, finalised however it ends.
class Statement {
public:
    // Prepares `sql` on `db`; Ok() says whether that worked.
    Statement(sqlite3* db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const;
    // One step: SQLite's result code (SQLITE_ROW, SQLITE_DONE, an error).
    int Step();
    // The statement itself, for binding and reading columns.
    sqlite3_stmt* operator*() const { return stmt; }
    // The result of preparing it.
    int PrepareResult() const { return rc; }

private:
    sqlite3_stmt* stmt = nullptr;
    int rc = 0; // SQLITE_OK
};

// Runs every statement in `sql`; false with SQLite's message in `error`.
bool Execute(sqlite3* db, const char* sql, std::string& error);

// Whether `rc` says another connection holds the database.
bool IsBusy(int rc);

// SQLite's last message on `db`, with the system's reason when a system call
// failed ("out of memory" without a connection).
std::string Why(sqlite3* db);

// `text` in one line: line breaks become spaces.
std::string OneLine(std::string text);

} // namespace Sql
