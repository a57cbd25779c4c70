// The embedded provider: an engine::Session on a server directory. The only part of db/ that sees the engine.
#ifndef CLUBIQA_DB_EMBEDDED_EMBEDDED_PROVIDER_H_
#define CLUBIQA_DB_EMBEDDED_EMBEDDED_PROVIDER_H_

#include <filesystem>
#include <memory>

#include "core/provider.h"

namespace db {

// Opens a session with the items `Data Source` (server directory, relative to `base_dir` unless absolute),
// `Initial Catalog`, `User ID`, `Password` and `Integrated Security=SSPI`. Never creates a server directory.
// Throws db::Error with the engine's text and number.
std::unique_ptr<Provider> OpenEmbeddedProvider(const ConnectionItemList& items, const std::filesystem::path& base_dir);

}  // namespace db

#endif  // CLUBIQA_DB_EMBEDDED_EMBEDDED_PROVIDER_H_
