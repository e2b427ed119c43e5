// A thin object layer over SQLite: a database connection, one query's whole
// result held in memory, and every failure raised as ESQLiteException.
//
//   TSQLiteDatabase db("C:\\...\\Score.db");
//   std::unique_ptr<TSQLiteTable> t = db.QueryTable("select suggest from [process] ...");
//   if (t->RowCount() > 0) double s = t->FloatAt(t->ColumnIndex("suggest"));
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

class ESQLiteException : public std::runtime_error {
 public:
  // code: SQLite's error code behind the failure (0 when the layer itself
  // raised it); the message is the whole text callers show.
  explicit ESQLiteException(const std::string& message, int code = 0)
      : std::runtime_error(message), code_(code) {}
  int ErrorCode() const { return code_; }

 private:
  int code_;
};

class TSQLiteTable;

class TSQLiteDatabase {
 public:
  // Opens the file (a Windows path; UTF-8 inside). Raises ESQLiteException
  // when SQLite cannot open it.
  explicit TSQLiteDatabase(const std::string& fileName);
  ~TSQLiteDatabase();
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  // Runs one statement (UTF-8) and returns its whole result.
  std::unique_ptr<TSQLiteTable> QueryTable(const std::string& sql);

  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class TSQLiteTable {
 public:
  enum class TColumnType { Integer, Float, Text, Blob, Null };

  int RowCount() const { return rowCount_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  int Row() const { return row_; }
  bool AtEnd() const { return row_ >= rowCount_; }
  void Next() { ++row_; }
  void MoveFirst() { row_ = 0; }

  // Index of a column (name without regard to case). Raises when absent.
  int ColumnIndex(const std::string& name) const;
  // Fields of the current row. A NULL cell reads as 0 / empty.
  int64_t IntegerAt(int index) const;
  double FloatAt(int index) const;
  std::string StringAt(int index) const;
  bool IsNullAt(int index) const;
  // Storage type of a column, decided by the first row.
  TColumnType ColumnType(int index) const;

 private:
  friend class TSQLiteDatabase;
  std::vector<std::string> columns_;  // upper-cased
  std::vector<TColumnType> types_;
  // Row-major, one cell per column; nullopt for NULL. Integers and floats are
  // kept as their values, text and blobs as bytes.
  struct Cell {
    int64_t i = 0;
    double f = 0;
    std::string bytes;
  };
  std::vector<std::optional<Cell>> cells_;
  int rowCount_ = 0;
  int row_ = 0;

  // The cell of the current row; raises at end of file or for a bad index.
  const std::optional<Cell>& CellAt(int index) const;
};
