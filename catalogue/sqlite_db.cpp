#include "catalogue/sqlite_db.h"

#include <sqlite3.h>

#include "support/text.h"

namespace catalogue {

namespace {

// Waits this long for another process that holds the index (a second query at the
// same moment) before giving up.
constexpr int kBusyTimeoutMs = 10000;

bool ValidUtf8(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      ++pos;
      continue;
    }
    // An invalid byte is a character of its own: one byte long.
    size_t next = pos;
    support::NextChar(text, &next);
    if (next == pos + 1) return false;
    pos = next;
  }
  return true;
}

}  // namespace

Database::~Database() { Close(); }

bool Database::Open(const std::string& path) {
  Close();
  const int code =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) {
    SetError(code);
    Close();
    return false;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  return true;
}

void Database::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Database::SetError(int code) {
  error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  const int primary = code & 0xff;
  damaged_ = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
  busy_ = primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

void Database::Rollback() {
  if (db_ == nullptr || sqlite3_get_autocommit(db_) != 0) return;
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

namespace {

void CallFunction(sqlite3_context* context, int, sqlite3_value** args) {
  const auto function =
      reinterpret_cast<std::string (*)(std::string_view)>(sqlite3_user_data(context));
  const void* data = sqlite3_value_blob(args[0]);
  const int size = sqlite3_value_bytes(args[0]);
  const std::string result =
      function(data == nullptr
                   ? std::string_view()
                   : std::string_view(static_cast<const char*>(data), static_cast<size_t>(size)));
  sqlite3_result_text(context, result.data(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool Database::DefineFunction(const char* name, std::string (*function)(std::string_view)) {
  const int code = sqlite3_create_function_v2(db_, name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                              reinterpret_cast<void*>(function), CallFunction,
                                              nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) {
    SetError(code);
    return false;
  }
  return true;
}

bool Database::Exec(std::string_view sql) {
  const std::string text(sql);
  const int code = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) {
    SetError(code);
    return false;
  }
  return true;
}

bool Database::Prepare(std::string_view sql, Statement* statement) {
  if (statement->stmt_ != nullptr) sqlite3_finalize(statement->stmt_);
  statement->stmt_ = nullptr;
  statement->owner_ = this;
  statement->failed_ = false;
  const int code =
      sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement->stmt_, nullptr);
  if (code != SQLITE_OK) {
    SetError(code);
    return false;
  }
  return true;
}

int64_t Database::LastRowId() const { return sqlite3_last_insert_rowid(db_); }

Statement::~Statement() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
}

void Statement::Finalize() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
  stmt_ = nullptr;
}

void Statement::BindInt(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Statement::BindBytes(int index, std::string_view bytes) {
  // An empty blob would bind as NULL without a pointer.
  static const char kEmpty = 0;
  const char* data = bytes.empty() ? &kEmpty : bytes.data();
  if (ValidUtf8(bytes)) {
    sqlite3_bind_text(stmt_, index, data, static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_blob(stmt_, index, data, static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
}

void Statement::BindNull(int index) { sqlite3_bind_null(stmt_, index); }

bool Statement::Step() {
  const int code = sqlite3_step(stmt_);
  if (code == SQLITE_ROW) return true;
  if (code != SQLITE_DONE) {
    failed_ = true;
    owner_->SetError(code);
  }
  return false;
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string_view Statement::Bytes(int column) const {
  // Asking for the blob first keeps a TEXT value's bytes as stored.
  const void* data = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  if (data == nullptr) return {};
  return {static_cast<const char*>(data), static_cast<size_t>(size)};
}

}  // namespace catalogue
