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
// The same, naming the directory in the error as the user wrote it ("..\Dozor\Data_Db").
QString resolveFile(const QString& directory, const QString& fileName,
                    const QString& directoryShownAs);

}  // namespace etb::data
