// Sessions: login, the current database, and the batch loop with SQL Server's error flow.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "batch_binding.h"
#include "engine/engine.h"
#include "errors.h"
#include "exec.h"
#include "parser.h"

namespace engine {

class SessionImpl {
 public:
  SessionImpl(std::unique_ptr<Server> server, std::unique_ptr<Store> db)
      : server_(std::move(server)), idle_sink_(idle_), ctx_(*server_, options_, idle_sink_) {
    ctx_.SetDatabase(std::move(db));
  }

  BatchResult Execute(std::string_view batch, std::span<const Value> params, std::span<const std::string> names = {}) {
    BatchResult out;
    ResultSink sink(out);
    ctx_.BeginBatch(sink, params, batch);
    std::string db_at_start = ctx_.db_name();
    RunBatch(batch, names, sink);
    ctx_.EndBatch(idle_sink_);
    if (server_->trace_enabled()) server_->Trace(db_at_start, batch, out);
    return out;
  }

  [[nodiscard]] std::string current_database() const { return ctx_.db_name(); }

 private:
  void RunBatch(std::string_view batch, std::span<const std::string> names, ResultSink& sink) {
    ast::Batch parsed;
    try {
      parsed = Parse(batch, names);
      BindBatch(parsed, ctx_);
    } catch (const SqlError& e) {
      // A syntax or binding error rejects the whole batch: nothing in it runs.
      sink.Error(e, e.message().line);
      return;
    }
    for (const auto& stmt : parsed.statements) {
      try {
        RunStatement(*stmt, ctx_);
      } catch (const SqlError& e) {
        sink.Error(e, ctx_.statement_line());
        AbortTransaction(e);
        return;
      } catch (const std::exception& e) {
        SqlError fault = InternalFault(e);
        sink.Error(fault, ctx_.statement_line());
        AbortTransaction(fault);
        return;
      }
    }
  }

  // Any other C++ exception leaving a statement is a bug of the engine (a bad_variant_access, an
  // out_of_range), never the user's input: debug builds stop at once with its text, so that the
  // test that hit it fails loudly; release builds report SQL Server's internal error and end the
  // batch as SQL Server would.
  static SqlError InternalFault(const std::exception& e) {
#ifndef NDEBUG
    std::fprintf(stderr, "SQL engine: unexpected exception in a statement: %s\n", e.what());
    std::abort();
#endif
    return err::InternalQueryProcessorError(e.what());
  }

  // Batch-aborting errors roll back an open transaction, as SQL Server does for nearly all of them.
  void AbortTransaction(const SqlError& e) {
    if (e.scope() == ErrorScope::kStatement) return;
    try {
      if (ctx_.db().trancount() > 0) ctx_.db().RollbackTransaction();
    } catch (const std::exception&) {
      // The rollback of a failed transaction has nothing left to report.
    }
  }

  std::unique_ptr<Server> server_;
  SessionOptions options_;
  BatchResult idle_;
  ResultSink idle_sink_;
  ExecContext ctx_;
};

namespace {

std::filesystem::path ResolveServerDir(const OpenOptions& options) {
  std::filesystem::path dir = options.data_source;
  if (dir.is_relative()) {
    std::filesystem::path base = options.base_dir.empty() ? std::filesystem::current_path() : options.base_dir;
    dir = base / dir;
  }
  return dir.lexically_normal();
}

}  // namespace

std::unique_ptr<Session> Session::Open(const OpenOptions& options) {
  if (options.data_source.empty()) throw err::ServerUnusable("no server directory (Data Source) was given");
  std::unique_ptr<Server> server = Server::Open(ResolveServerDir(options), options.create_server);
  server->CheckLogin(options.user_id, options.password, options.integrated_security);
  std::string catalog = options.initial_catalog.empty() ? std::string("master") : options.initial_catalog;
  std::unique_ptr<Store> db = server->OpenDatabase(catalog);
  if (!db) throw err::CannotOpenDatabase(catalog);
  return std::unique_ptr<Session>(new Session(std::make_unique<SessionImpl>(std::move(server), std::move(db))));
}

Session::Session(std::unique_ptr<SessionImpl> impl) : impl_(std::move(impl)) {}
Session::~Session() = default;

BatchResult Session::Execute(std::string_view batch, std::span<const Value> params) {
  return impl_->Execute(batch, params);
}

BatchResult Session::Execute(std::string_view batch, std::span<const NamedValue> params) {
  std::vector<std::string> names;
  std::vector<Value> values;
  names.reserve(params.size());
  values.reserve(params.size());
  for (const NamedValue& p : params) {
    names.push_back(p.name);
    values.push_back(p.value);
  }
  return impl_->Execute(batch, values, names);
}

BatchResult Session::ExecuteOrThrow(std::string_view batch, std::span<const Value> params) {
  BatchResult result = impl_->Execute(batch, params);
  if (const Message* m = result.FirstError()) {
    throw err::FromMessage(*m);
  }
  return result;
}

std::string Session::current_database() const { return impl_->current_database(); }

}  // namespace engine
