#include "config/SQLiteTable3.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

// Description of an SQLite result code, as the messages show it.
std::string ErrorDescription(int code) {
  switch (code) {
    case 0:
      return "Successful result";
    case 1:
      return "SQL error or missing database";
    case 2:
      return "An internal logic error in SQLite";
    case 3:
      return "Access permission denied";
    case 4:
      return "Callback routine requested an abort";
    case 5:
      return "The database file is locked";
    case 6:
      return "A table in the database is locked";
    case 7:
      return "A malloc() failed";
    case 8:
      return "Attempt to write a readonly database";
    case 9:
      return "Operation terminated by sqlite3_interrupt()";
    case 10:
      return "Some kind of disk I/O error occurred";
    case 11:
      return "The database disk image is malformed";
    case 12:
      return "(Internal Only) Table or record not found";
    case 13:
      return "Insertion failed because database is full";
    case 14:
      return "Unable to open the database file";
    case 15:
      return "Database lock protocol error";
    case 16:
      return "Database is empty";
    case 17:
      return "The database schema changed";
    case 18:
      return "Too much data for one row of a table";
    case 19:
      return "Abort due to contraint violation";
    case 20:
      return "Data type mismatch";
    case 21:
      return "Library used incorrectly";
    case 22:
      return "Uses OS features not supported on host";
    case 23:
      return "Authorization denied";
    case 24:
      return "Auxiliary database format error";
    case 25:
      return "2nd parameter to sqlite3_bind out of range";
    case 26:
      return "File opened that is not a database file";
    case 100:
      return "sqlite3_step() has another row ready";
    case 101:
      return "sqlite3_step() has finished executing";
    default:
      return "Unknown SQLite Error Code \"" + std::to_string(code) + "\"";
  }
}

// The connection's current error behind `text` for statement `sql`.
ESQLiteException DatabaseError(sqlite3* db, const std::string& text, const std::string& sql) {
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_OK) return ESQLiteException(text);
  const char* message = sqlite3_errmsg(db);
  return ESQLiteException(text + ".\rError [" + std::to_string(code) +
                              "]: " + ErrorDescription(code) + ".\r\"" + sql +
                              "\": " + (message ? message : ""),
                          code);
}

// Finalises a prepared statement however QueryTable leaves.
struct StatementGuard {
  sqlite3_stmt* stmt = nullptr;
  ~StatementGuard() { sqlite3_finalize(stmt); }
};

// Storage type of a column from its declared type (compared without regard to
// case) or, without one, from SQLite's type of the value in the first row.
TSQLiteTable::TColumnType StorageType(sqlite3_stmt* stmt, int column) {
  using T = TSQLiteTable::TColumnType;
  const char* declared = sqlite3_column_decltype(stmt, column);
  if (declared == nullptr) {
    switch (sqlite3_column_type(stmt, column)) {
      case SQLITE_INTEGER:
        return T::Integer;
      case SQLITE_FLOAT:
        return T::Float;
      case SQLITE_BLOB:
        return T::Blob;
      case SQLITE_NULL:
        return T::Null;
      default:
        return T::Text;
    }
  }
  const std::string name = txt::UpperCase(declared);
  if (name == "INTEGER" || name == "BOOLEAN") return T::Integer;
  if (name == "NUMERIC" || name == "FLOAT" || name == "DOUBLE" || name == "REAL") return T::Float;
  if (name == "BLOB") return T::Blob;
  return T::Text;
}

}  // namespace

// ---------------------------------------------------------------- TSQLiteDatabase

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName) {
  // SQLite reads and writes the file itself, so it is handed the path under
  // which the file really lives. Note that sqlite3_open creates a missing file;
  // callers open a database only when its file exists.
  const std::string native = plat::NativeFilePath(fileName);
  if (native.empty()) {
    // Outside every drive the machine knows: no file SQLite could open.
    throw ESQLiteException(
        "Failed to open database \"" + fileName + "\" : " + sqlite3_errstr(SQLITE_CANTOPEN),
        SQLITE_CANTOPEN);
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open(native.c_str(), &db);
  if (rc != SQLITE_OK) {
    std::string message;
    if (db != nullptr) {
      const char* text = sqlite3_errmsg(db);
      message = "Failed to open database \"" + fileName + "\" : " + (text ? text : "");
      // sqlite3_open hands out a connection even when it fails; release it.
      sqlite3_close(db);
    } else {
      message = "Failed to open database \"" + fileName + "\" : unknown error";
    }
    throw ESQLiteException(message, rc);
  }
  db_ = db;
}

TSQLiteDatabase::~TSQLiteDatabase() {
  if (db_ != nullptr) sqlite3_close(db_);
}

std::unique_ptr<TSQLiteTable> TSQLiteDatabase::QueryTable(const std::string& sql) {
  auto table = std::unique_ptr<TSQLiteTable>(new TSQLiteTable());
  StatementGuard guard;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &guard.stmt, &tail) !=
      SQLITE_OK) {
    throw DatabaseError(db_, "Could not prepare SQL statement", sql);
  }
  // Text with no statement in it (blank or only a comment) has no rows.
  if (guard.stmt == nullptr) return table;

  sqlite3_stmt* stmt = guard.stmt;
  for (;;) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc == SQLITE_BUSY) {
      // No busy wait and no retry: a locked database fails at once.
      throw DatabaseError(db_, "Could not prepare SQL statement", sql);
    }
    if (rc != SQLITE_ROW) {
      // The error is read before the reset so that nothing can overwrite it.
      ESQLiteException error = DatabaseError(db_, "Could not retrieve data", sql);
      sqlite3_reset(stmt);
      throw error;
    }

    if (table->rowCount_ == 0) {
      const int count = sqlite3_column_count(stmt);
      for (int c = 0; c < count; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        table->columns_.push_back(txt::UpperCase(name ? name : ""));
        table->types_.push_back(StorageType(stmt, c));
      }
    }
    const int count = table->ColumnCount();
    for (int c = 0; c < count; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
        table->cells_.emplace_back(std::nullopt);
        continue;
      }
      TSQLiteTable::Cell cell;
      switch (table->types_[c]) {
        case TSQLiteTable::TColumnType::Integer:
          cell.i = sqlite3_column_int64(stmt, c);
          break;
        case TSQLiteTable::TColumnType::Float:
          cell.f = sqlite3_column_double(stmt, c);
          break;
        case TSQLiteTable::TColumnType::Blob: {
          const void* data = sqlite3_column_blob(stmt, c);
          const int size = sqlite3_column_bytes(stmt, c);
          if (data != nullptr && size > 0) cell.bytes.assign(static_cast<const char*>(data), size);
          break;
        }
        default: {
          // Text (and values in a column whose first row was NULL): UTF-8 as
          // SQLite hands it out, which is the program's own text form.
          const unsigned char* text = sqlite3_column_text(stmt, c);
          const int size = sqlite3_column_bytes(stmt, c);
          if (text != nullptr && size > 0)
            cell.bytes.assign(reinterpret_cast<const char*>(text), size);
          break;
        }
      }
      table->cells_.emplace_back(std::move(cell));
    }
    ++table->rowCount_;
  }
  return table;
}

// ---------------------------------------------------------------- TSQLiteTable

int TSQLiteTable::ColumnIndex(const std::string& name) const {
  if (columns_.empty()) throw ESQLiteException("Field " + name + " Not found. Empty dataset");
  const std::string wanted = txt::UpperCase(name);
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i] == wanted) return static_cast<int>(i);
  }
  throw ESQLiteException("Field not found in dataset: " + name);
}

const std::optional<TSQLiteTable::Cell>& TSQLiteTable::CellAt(int index) const {
  if (AtEnd()) throw ESQLiteException("Table is at End of File");
  if (index < 0 || index >= ColumnCount()) {
    throw ESQLiteException("Field index out of range: " + std::to_string(index));
  }
  return cells_[static_cast<size_t>(row_) * columns_.size() + static_cast<size_t>(index)];
}

int64_t TSQLiteTable::IntegerAt(int index) const {
  const std::optional<Cell>& cell = CellAt(index);
  if (!cell) return 0;
  switch (types_[index]) {
    case TColumnType::Integer:
      return cell->i;
    case TColumnType::Float: {
      // Truncated toward zero; values beyond the 64-bit range (and NaN) are
      // clamped instead of left to undefined behaviour.
      const double f = std::trunc(cell->f);
      if (std::isnan(f)) return 0;
      if (f >= 9223372036854775807.0) return INT64_MAX;
      if (f <= -9223372036854775808.0) return INT64_MIN;
      return static_cast<int64_t>(f);
    }
    default:
      throw ESQLiteException("Not an integer or numeric field");
  }
}

double TSQLiteTable::FloatAt(int index) const {
  const std::optional<Cell>& cell = CellAt(index);
  if (!cell) return 0;
  switch (types_[index]) {
    case TColumnType::Integer:
      return static_cast<double>(cell->i);
    case TColumnType::Float:
      return cell->f;
    default:
      throw ESQLiteException("Not an integer or numeric field");
  }
}

std::string TSQLiteTable::StringAt(int index) const {
  const std::optional<Cell>& cell = CellAt(index);
  if (!cell) return {};
  switch (types_[index]) {
    case TColumnType::Integer:
      return txt::IntToStr(cell->i);
    case TColumnType::Float:
      return txt::FloatToStr(cell->f);
    default:
      return cell->bytes;
  }
}

bool TSQLiteTable::IsNullAt(int index) const {
  return !CellAt(index).has_value();
}

TSQLiteTable::TColumnType TSQLiteTable::ColumnType(int index) const {
  if (index < 0 || index >= ColumnCount()) {
    throw ESQLiteException("Field index out of range: " + std::to_string(index));
  }
  return types_[index];
}
