// Sql: statements, scripts and their messages.
#include "world/Sql.h"

#include <sqlite3.h>

#include <cstring>

namespace Sql {

Statement::Statement(sqlite3* db, const std::string& sql)
{
    rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
}

Statement::~Statement() { sqlite3_finalize(stmt); }

bool Statement::Ok() const { return rc == SQLITE_OK && stmt != nullptr; }

int Statement::Step() { return sqlite3_step(stmt); }

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

bool Execute(sqlite3* db, const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = OneLine(message != nullptr ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

bool IsBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

std::string Why(sqlite3* db)
{
    std::string why = db != nullptr ? OneLine(sqlite3_errmsg(db)) : "out of memory";
    const int err = db != nullptr ? sqlite3_system_errno(db) : 0;
    if (err != 0)
        why += " (" + std::string(std::strerror(err)) + ")";
    return why;
}

} // namespace Sql
