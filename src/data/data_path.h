// Paths written the legacy way ("..\Dozor\Data_Db"): backslashes are separators and every
// component is matched case-blind against the real file system.
#pragma once

#include <QString>

namespace etb::data {

// Resolves a directory path relative to the current directory. Throws DataError (NotFound)
// naming the directory when a component is missing.
QString resolveDirectory(const QString& legacyPath);

// Finds fileName in directory, case-blind. Throws DataError (NotFound) naming the file.
QString resolveFile(const QString& directory, const QString& fileName);

}  // namespace etb::data
