// Resolution of legacy paths: "\" and "/" separate components, each component is found
// case-blind among the entries of its parent (an exact match wins over a case-blind one).
#include "data_path.h"

#include "data_error.h"

#include <QDir>
#include <QFileInfo>

namespace etb::data {

namespace {

// The entry of directory named name, exact or case-blind; empty when there is none.
QString findEntry(const QString& directory, const QString& name, QDir::Filters kind) {
    const QDir dir(directory);
    if (QFileInfo(dir.filePath(name)).exists()) {
        const QFileInfo exact(dir.filePath(name));
        if ((kind & QDir::Dirs) ? exact.isDir() : exact.isFile())
            return name;
    }
    QStringList matches;
    const QStringList entries =
        dir.entryList(kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            matches.append(entry);
    }
    return matches.isEmpty() ? QString() : matches.first();
}

}  // namespace

QString resolveDirectory(const QString& legacyPath) {
    QString path = legacyPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString current = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QDir::currentPath();
    const QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& component : components) {
        if (component == QLatin1String("."))
            continue;
        if (component == QLatin1String("..")) {
            current = QDir::cleanPath(current + QStringLiteral("/.."));
            continue;
        }
        const QString entry = findEntry(current, component, QDir::Dirs);
        if (entry.isEmpty())
            throw DataError(DataError::Kind::NotFound,
                            QStringLiteral("Le répertoire « %1 » est introuvable.").arg(legacyPath),
                            QStringLiteral("« %1 » manque dans %2")
                                .arg(component, QDir(current).absolutePath()));
        current = QDir(current).filePath(entry);
    }
    if (!QFileInfo(current).isDir())
        throw DataError(DataError::Kind::NotFound,
                        QStringLiteral("Le répertoire « %1 » est introuvable.").arg(legacyPath),
                        current);
    return QDir::cleanPath(QDir(current).absolutePath());
}

QString resolveFile(const QString& directory, const QString& fileName) {
    return resolveFile(directory, fileName, directory);
}

QString resolveFile(const QString& directory, const QString& fileName,
                    const QString& directoryShownAs) {
    const QString entry = findEntry(directory, fileName, QDir::Files);
    if (entry.isEmpty())
        throw DataError(DataError::Kind::NotFound,
                        QStringLiteral("La table « %1 » est introuvable dans « %2 ».")
                            .arg(fileName, directoryShownAs),
                        QDir(directory).filePath(fileName));
    return QDir(directory).filePath(entry);
}

}  // namespace etb::data
