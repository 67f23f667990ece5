#pragma once
// A thin owner of one SQLite connection and its prepared statements. Errors are
// results: a call that fails returns false and keeps SQLite's message and code.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace catalogue {

class Statement;

class Database {
 public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens or creates the file. False when it cannot (the message says why).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // Runs one or more statements that return no rows.
  bool Exec(std::string_view sql);
  // Ends the open transaction, if any, without its changes. The error of the failure
  // that led here stays the one ErrorText() names.
  void Rollback();
  // Makes `function` of one argument (its bytes, TEXT or BLOB) callable from SQL as
  // `name`; it returns TEXT.
  bool DefineFunction(const char* name, std::string (*function)(std::string_view));
  bool Prepare(std::string_view sql, Statement* statement);
  int64_t LastRowId() const;

  const std::string& ErrorText() const { return error_; }
  // The last failure's primary code says the file is no database or a damaged one.
  bool Damaged() const { return damaged_; }
  // The last failure's primary code says another connection holds the file.
  bool Busy() const { return busy_; }

 private:
  friend class Statement;
  void SetError(int code);
  sqlite3* db_ = nullptr;
  std::string error_;
  bool damaged_ = false;
  bool busy_ = false;
};

// One prepared statement. Bind by 1-based index; Step until it returns false, then
// check Failed(). Texts and blobs bound are copied by SQLite.
class Statement {
 public:
  Statement() = default;
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void BindInt(int index, int64_t value);
  // Valid UTF-8 as TEXT, anything else as a BLOB, so the bytes come back unchanged.
  void BindBytes(int index, std::string_view bytes);
  void BindNull(int index);
  // True while a row is there; false at the end or on an error (Failed()).
  bool Step();
  // Clears the bindings' use and makes the statement ready to run again.
  void Reset();
  bool Failed() const { return failed_; }
  bool Prepared() const { return stmt_ != nullptr; }
  // Lets the statement go (before its database is closed).
  void Finalize();

  bool IsNull(int column) const;
  int64_t Int(int column) const;
  // TEXT or BLOB as its bytes; valid until the next Step or Reset.
  std::string_view Bytes(int column) const;

 private:
  friend class Database;
  Database* owner_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  bool failed_ = false;
};

}  // namespace catalogue
