// EXEC of the system procedures the engine knows: the application locks of a session.
//
//   EXEC sp_getapplock @Resource = N'name', @LockMode = 'Exclusive', @LockOwner = 'Session',
//        @LockTimeout = 0
//   EXEC sp_releaseapplock @Resource = N'name', @LockOwner = 'Session'
//
// Arguments go by name or by position (Resource, LockMode, LockOwner, LockTimeout, DbPrincipal),
// as SQL Server takes them. The return status is not kept (the engine has no variables): a caller
// reads APPLOCK_MODE('public', N'name', 'Session') in the same batch to learn whether it got the
// lock, which SQL Server answers the same way. Only session-owned locks exist here: a lock owned by
// a transaction would have to end with it, which nothing of the product asks for.
#include <array>
#include <optional>

#include "errors.h"
#include "exec.h"
#include "parse/lexer.h"
#include "values.h"

namespace engine {

namespace {

using parse::AsciiUpper;

constexpr std::array<std::string_view, 5> kGetAppLockParameters = {"@Resource", "@LockMode", "@LockOwner",
                                                                   "@LockTimeout", "@DbPrincipal"};

// The arguments by parameter (upper-case name), evaluated as constants.
class Arguments {
 public:
  Arguments(const ast::ExecuteStmt& exec, std::span<const std::string_view> parameters, ExecContext& ctx) {
    for (size_t i = 0; i < exec.arguments.size(); ++i) {
      const auto& argument = exec.arguments[i];
      std::string name =
          argument.name.empty() ? (i < parameters.size() ? std::string(parameters[i]) : std::string()) : argument.name;
      if (name.empty()) throw err::NotSupported("More arguments than the procedure takes");
      values_.emplace_back(AsciiUpper(name), EvalConstant(*argument.value, ctx));
    }
  }

  [[nodiscard]] std::optional<Value> Find(std::string_view parameter) const {
    const std::string upper = AsciiUpper(parameter);
    for (const auto& [name, value] : values_) {
      if (name == upper) return value;
    }
    return std::nullopt;
  }

  // The value as text; `procedure` names the caller in the 201 of a missing argument.
  [[nodiscard]] std::string Text(std::string_view procedure, std::string_view parameter) const {
    std::optional<Value> value = Find(parameter);
    if (!value || value->is_null()) throw err::ParameterNotSupplied(procedure, parameter);
    return value->ToString();
  }

 private:
  std::vector<std::pair<std::string, Value>> values_;
};

void RequireSessionOwner(const Arguments& args) {
  std::optional<Value> owner = args.Find("@LockOwner");
  const std::string text = owner && !owner->is_null() ? AsciiUpper(owner->ToString()) : "TRANSACTION";
  if (text != "SESSION") throw err::NotSupported("Application locks owned by anything but the session");
}

// Shared and Exclusive; the other modes of SQL Server are refused rather than treated as one of them.
bool ExclusiveMode(std::string_view mode) {
  const std::string upper = AsciiUpper(mode);
  if (upper == "EXCLUSIVE") return true;
  if (upper == "SHARED") return false;
  throw err::NotSupported("The application lock mode '" + std::string(mode) + "'");
}

void GetAppLock(const ast::ExecuteStmt& exec, ExecContext& ctx) {
  Arguments args(exec, kGetAppLockParameters, ctx);
  const std::string resource = args.Text("sp_getapplock", "@Resource");
  const bool exclusive = ExclusiveMode(args.Text("sp_getapplock", "@LockMode"));
  RequireSessionOwner(args);
  std::optional<Value> timeout = args.Find("@LockTimeout");
  const int64_t timeout_ms =
      timeout && !timeout->is_null()
          ? Convert(*timeout, SqlType{TypeId::kInt, 0, 0, 0}, ctx.convert(), ConvertMode::kImplicit).as_int()
          : -1;
  ctx.app_locks().Acquire(ctx.db_name(), resource, exclusive, timeout_ms);
}

void ReleaseAppLock(const ast::ExecuteStmt& exec, ExecContext& ctx) {
  constexpr std::array<std::string_view, 3> kParameters = {"@Resource", "@LockOwner", "@DbPrincipal"};
  Arguments args(exec, kParameters, ctx);
  const std::string resource = args.Text("sp_releaseapplock", "@Resource");
  RequireSessionOwner(args);
  if (!ctx.app_locks().Release(ctx.db_name(), resource)) throw err::AppLockNotHeld(resource);
}

}  // namespace

void ExecExecute(const ast::ExecuteStmt& exec, ExecContext& ctx) {
  const std::string name = AsciiUpper(exec.procedure.name);
  if (name == "SP_GETAPPLOCK") {
    GetAppLock(exec, ctx);
  } else if (name == "SP_RELEASEAPPLOCK") {
    ReleaseAppLock(exec, ctx);
  } else {
    throw err::ProcedureNotFound(exec.procedure.written);
  }
}

}  // namespace engine
