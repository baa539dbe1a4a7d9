// Locked, journaled access to one table file. See file_journal.h for the design.
#include "data/file_journal.h"

#include "data/data_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

namespace etb::data {
namespace {

constexpr char kJournalMagic[8] = {'E', 'T', 'B', 'J', 'R', 'N', 'L', '1'};
constexpr int kCrashExitCode = 86;

struct FaultState {
    bool armed = false;  // any of the following is set
    int failIn = -1;
    int failErrno = 0;
    int shortIn = -1;
    int crashIn = -1;
    bool recording = false;
    std::vector<const char*> calls;
};
FaultState g_faults;

enum class FaultAction { None, Fail, Short };

// Every file system call of this layer passes here first (call names the call's kind).
// Returns the action to simulate; for Fail, error is set to the errno. A simulated crash
// may first let half of a write through (torn write).
FaultAction faultPointSlow(const char* call, int& error, int fd, const char* data, qint64 size,
                           qint64 offset) {
    if (g_faults.recording)
        g_faults.calls.push_back(call);
    if (g_faults.crashIn >= 0 && g_faults.crashIn-- == 0) {
        if (fd >= 0 && data && size > 1) {
            [[maybe_unused]] const ssize_t written = ::pwrite(fd, data, size_t(size / 2), offset);
        }
        ::_exit(kCrashExitCode);
    }
    if (g_faults.failIn >= 0 && g_faults.failIn-- == 0) {
        error = g_faults.failErrno;
        return FaultAction::Fail;
    }
    if (g_faults.shortIn >= 0 && g_faults.shortIn-- == 0)
        return FaultAction::Short;
    return FaultAction::None;
}

inline FaultAction faultPoint(const char* call, int& error, int fd = -1, const char* data = nullptr,
                              qint64 size = 0, qint64 offset = 0) {
    if (!g_faults.armed) [[likely]]
        return FaultAction::None;
    return faultPointSlow(call, error, fd, data, size, offset);
}

// For calls that move no bytes: returns an errno to simulate, or 0.
inline int faultPoint(const char* call) {
    int error = 0;
    return faultPoint(call, error) == FaultAction::Fail ? error : 0;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString systemReason(int error) {
    switch (error) {
        case ENOSPC:
            return QStringLiteral("le disque est plein");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("le quota de disque est dépassé");
#endif
        case EACCES:
        case EPERM:
            return QStringLiteral("accès refusé");
        case EROFS:
            return QStringLiteral("le support est en lecture seule");
        case EIO:
            return QStringLiteral("erreur d'entrée-sortie");
        case ENOENT:
            return QStringLiteral("fichier introuvable");
        default:
            return QStringLiteral("erreur système %1").arg(error);
    }
}

QString errnoDetail(const char* call, int error) {
    return QStringLiteral("%1: %2").arg(QLatin1String(call),
                                        QString::fromLocal8Bit(std::strerror(error)));
}

[[noreturn]] void throwWriteError(const QString& path, const char* call, int error) {
    throw DataError(DataError::Kind::Io,
                    QStringLiteral("Impossible d'écrire dans « %1 » : %2.")
                        .arg(shown(path), systemReason(error)),
                    errnoDetail(call, error));
}

[[noreturn]] void throwReadError(const QString& path, const char* call, int error) {
    throw DataError(
        DataError::Kind::Io,
        QStringLiteral("Impossible de lire « %1 » : %2.").arg(shown(path), systemReason(error)),
        errnoDetail(call, error));
}

[[noreturn]] void throwLocked(const QString& path, const QString& detail) {
    throw DataError(
        DataError::Kind::Locked,
        QStringLiteral("La table « %1 » est verrouillée par un autre programme.").arg(shown(path)),
        detail);
}

// open(2) behind the fault point: -1 with errno set on failure.
int openFile(const QByteArray& path, int flags, mode_t permissions = 0) {
    if (int injected = faultPoint("open")) {
        errno = injected;
        return -1;
    }
    return ::open(path.constData(), flags, permissions);
}

// Moves exactly size bytes at offset with pread or pwrite, resuming after a partial
// transfer or EINTR. A Short fault makes the first call move only half. Returns 0 or an
// errno; endErrno is the error when the system moves nothing (end of file, full device).
template <class Buffer, class Transfer>
int transferAt(FaultAction action, int fd, Buffer data, qint64 size, qint64 offset,
               Transfer transfer, int endErrno) {
    bool shortCount = action == FaultAction::Short && size > 1;
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size_t(shortCount ? size / 2 : size), offset);
        shortCount = false;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return endErrno;
        data += n;
        size -= n;
        offset += n;
    }
    return 0;
}

// Returns 0 or an errno.
int writeAt(int fd, const char* data, qint64 size, qint64 offset) {
    int injected = 0;
    const FaultAction action = faultPoint("write", injected, fd, data, size, offset);
    if (action == FaultAction::Fail)
        return injected;
    return transferAt(action, fd, data, size, offset, ::pwrite, ENOSPC);
}

int syncData(int fd) {
    if (int injected = faultPoint("sync"))
        return injected;
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

int truncateTo(int fd, qint64 size) {
    if (int injected = faultPoint("truncate"))
        return injected;
    return ::ftruncate(fd, size) == 0 ? 0 : errno;
}

int syncDirectoryOf(const QString& path) {
    if (int injected = faultPoint("sync"))
        return injected;
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

// Reads exactly size bytes at offset; returns 0 or an errno (EIO for a short file).
int readAt(int fd, char* data, qint64 size, qint64 offset) {
    int injected = 0;
    const FaultAction action = faultPoint("read", injected);
    if (action == FaultAction::Fail)
        return injected;
    return transferAt(action, fd, data, size, offset, ::pread, EIO);
}

qint64 fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    return st.st_size;
}

// Returns true when the lock was taken, false when someone else holds a conflicting one.
bool tryLock(int fd, short type, int& error) {
    if ((error = faultPoint("lock")) != 0)
        return false;
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return true;
    error = errno;
    return false;
}

std::uint64_t checksum(const char* data, qint64 size) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (qint64 i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

void appendU64(QByteArray& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.append(static_cast<char>(value >> (8 * i)));
}

std::uint64_t readU64(const char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(p[i]);
    return value;
}

// The files this process holds for writing, by canonical path.
QMutex g_registryMutex;
std::map<QString, int>& writers() {
    static std::map<QString, int> registry;
    return registry;
}

bool processHoldsForWriting(const QString& canonical) {
    QMutexLocker locker(&g_registryMutex);
    return writers().count(canonical) > 0;
}

// The ranges to write and the file size to set: the new bytes in a journal, the old ones
// in the undo image of a change that failed.
struct JournalImage {
    qint64 fileSize = 0;
    std::vector<JournaledFile::Range> ranges;
};

// Parses a journal; nullopt when it is incomplete or damaged (a torn journal).
std::optional<JournalImage> parseJournal(const QByteArray& bytes) {
    // The journal delimits itself (entry count, lengths, then the checksum), so bytes left
    // after it by an earlier, longer journal are ignored.
    const qint64 headerSize = 8 + 8 + 8;
    if (bytes.size() < headerSize + 8 || std::memcmp(bytes.constData(), kJournalMagic, 8) != 0)
        return std::nullopt;
    JournalImage image;
    image.fileSize = qint64(readU64(bytes.constData() + 8));
    const std::uint64_t count = readU64(bytes.constData() + 16);
    qint64 pos = headerSize;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (bytes.size() - pos < 16 + 8)
            return std::nullopt;
        const std::uint64_t offset = readU64(bytes.constData() + pos);
        const std::uint64_t length = readU64(bytes.constData() + pos + 8);
        pos += 16;
        if (length > std::uint64_t(bytes.size() - pos - 8) || offset > (std::uint64_t(1) << 40))
            return std::nullopt;
        image.ranges.push_back({qint64(offset), bytes.mid(pos, qint64(length))});
        pos += qint64(length);
    }
    if (bytes.size() - pos < 8 || image.fileSize < 0 ||
        readU64(bytes.constData() + pos) != checksum(bytes.constData(), pos))
        return std::nullopt;
    return image;
}

// Writes the image's bytes into the table, sets its size and syncs. Returns 0 or an errno.
int applyJournal(int fd, const JournalImage& image) {
    for (const JournaledFile::Range& range : image.ranges) {
        if (int rc = writeAt(fd, range.bytes.constData(), range.bytes.size(), range.offset))
            return rc;
    }
    if (int rc = truncateTo(fd, image.fileSize))
        return rc;
    return syncData(fd);
}

}  // namespace

void FileFaults::failCall(int callsFromNow, int errorNumber) {
    g_faults.failIn = callsFromNow;
    g_faults.failErrno = errorNumber;
    g_faults.armed = true;
}

void FileFaults::shortCall(int callsFromNow) {
    g_faults.shortIn = callsFromNow;
    g_faults.armed = true;
}

void FileFaults::crashAtCall(int callsFromNow) {
    g_faults.crashIn = callsFromNow;
    g_faults.armed = true;
}

void FileFaults::recordCalls() {
    g_faults.recording = true;
    g_faults.calls.clear();
    g_faults.armed = true;
}

std::vector<const char*> FileFaults::recordedCalls() {
    return g_faults.calls;
}

void FileFaults::clear() {
    g_faults = FaultState{};
}

std::unique_ptr<JournaledFile> JournaledFile::open(const QString& filePath, Mode mode) {
    const QFileInfo info(filePath);
    if (!info.exists() || info.isDir()) {
        throw DataError(DataError::Kind::NotFound,
                        QStringLiteral("La table « %1 » est introuvable.").arg(shown(filePath)),
                        QStringLiteral("no such file"));
    }
    std::unique_ptr<JournaledFile> file(new JournaledFile);
    file->m_path = filePath;
    file->m_canonical = info.canonicalFilePath();
    file->m_journalPath = filePath + QStringLiteral("-journal");
    file->m_mode = mode;
    const QByteArray nativePath = QFile::encodeName(filePath);
    const bool journalPresent = QFileInfo(file->m_journalPath).exists();

    if (mode == Mode::Write) {
        if (processHoldsForWriting(file->m_canonical))
            throwLocked(filePath, QStringLiteral("already open for writing in this process"));
        file->m_fd = openFile(nativePath, O_RDWR | O_CLOEXEC);
        file->m_writable = true;
        if (file->m_fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            file->m_writable = false;
            file->m_readOnlyReason = QStringLiteral("le fichier est en lecture seule");
            file->m_fd = openFile(nativePath, O_RDONLY | O_CLOEXEC);
        }
        if (file->m_fd < 0)
            throwReadError(filePath, "open", errno);
        int error = 0;
        if (!tryLock(file->m_fd, file->m_writable ? F_WRLCK : F_RDLCK, error))
            throwLocked(filePath, errnoDetail("fcntl(F_OFD_SETLK)", error));
        if (file->m_writable) {
            const QByteArray dir = QFile::encodeName(info.absolutePath());
            if (::access(dir.constData(), W_OK) != 0) {
                file->m_writable = false;
                file->m_readOnlyReason = QStringLiteral("le dossier est en lecture seule");
            }
        }
        if (file->m_writable) {
            QMutexLocker locker(&g_registryMutex);
            writers()[file->m_canonical] += 1;
            file->m_registeredWriter = true;
        }
        if (journalPresent) {
            const bool hot = QFileInfo(file->m_journalPath).size() > 0;
            if (file->m_writable) {
                file->applyHotJournal();
            } else if (hot) {
                throw DataError(
                    DataError::Kind::Io,
                    QStringLiteral("Impossible de réparer « %1 » après une interruption : %2.")
                        .arg(shown(filePath), file->m_readOnlyReason),
                    QStringLiteral("hot journal present, no write access"));
            }
        }
        return file;
    }

    if (processHoldsForWriting(file->m_canonical)) {
        // Our own writer finishes every change before returning, so the file is whole.
        file->m_fd = openFile(nativePath, O_RDONLY | O_CLOEXEC);
        if (file->m_fd < 0)
            throwReadError(filePath, "open", errno);
        return file;
    }
    if (journalPresent) {
        // A writer died during a change: complete it before anyone reads the table (or
        // just clear away the emptied journal it left).
        open(filePath, Mode::Write);
    }
    file->m_fd = openFile(nativePath, O_RDONLY | O_CLOEXEC);
    if (file->m_fd < 0)
        throwReadError(filePath, "open", errno);
    int error = 0;
    if (!tryLock(file->m_fd, F_RDLCK, error))
        throwLocked(filePath, errnoDetail("fcntl(F_OFD_SETLK)", error));
    return file;
}

JournaledFile::~JournaledFile() {
    if (m_journalFd >= 0) {
        // The journal of the last change may still be whole (emptying it is not synced,
        // and may even have failed): retire it durably, so that an old change is never
        // applied over what another program writes later.
        // An emptied journal that cannot be removed is harmless: the next open drops it.
        if (!m_broken && ::ftruncate(m_journalFd, 0) == 0 && ::fdatasync(m_journalFd) == 0 &&
            faultPoint("unlink") == 0) {
            ::unlink(QFile::encodeName(m_journalPath).constData());
            syncDirectoryOf(m_path);
        }
        ::close(m_journalFd);
    }
    if (m_registeredWriter) {
        QMutexLocker locker(&g_registryMutex);
        auto it = writers().find(m_canonical);
        if (it != writers().end() && --it->second == 0)
            writers().erase(it);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray JournaledFile::readAll() const {
    const qint64 size = fileSize(m_fd);
    if (size < 0)
        throwReadError(m_path, "fstat", errno);
    QByteArray bytes(size, Qt::Uninitialized);
    if (int rc = readAt(m_fd, bytes.data(), size, 0))
        throwReadError(m_path, "pread", rc);
    return bytes;
}

void JournaledFile::applyHotJournal() {
    const QByteArray journalName = QFile::encodeName(m_journalPath);
    const int journalFd = openFile(journalName, O_RDONLY | O_CLOEXEC);
    if (journalFd < 0)
        throwReadError(m_journalPath, "open", errno);
    const qint64 size = fileSize(journalFd);
    QByteArray bytes(qMax<qint64>(size, 0), Qt::Uninitialized);
    const int readRc = size < 0 ? errno : readAt(journalFd, bytes.data(), size, 0);
    ::close(journalFd);
    if (readRc)
        throwReadError(m_journalPath, "pread", readRc);
    if (const std::optional<JournalImage> image = parseJournal(bytes)) {
        // A complete journal: the change it holds was decided; finish writing it.
        if (int rc = applyJournal(m_fd, *image)) {
            throw DataError(
                DataError::Kind::Io,
                QStringLiteral("Impossible de réparer « %1 » après une interruption : %2.")
                    .arg(shown(m_path), systemReason(rc)),
                errnoDetail("restore", rc));
        }
    }
    // Applied, or torn (the table was never touched): the journal has done its work.
    if (int injected = faultPoint("unlink"))
        throwWriteError(m_journalPath, "unlink", injected);
    if (::unlink(journalName.constData()) != 0 && errno != ENOENT)
        throwWriteError(m_journalPath, "unlink", errno);
    if (int rc = syncDirectoryOf(m_path))
        throwWriteError(m_path, "fsync(dir)", rc);
}

void JournaledFile::openJournal() {
    if (m_journalFd >= 0)
        return;
    const QByteArray journalName = QFile::encodeName(m_journalPath);
    m_journalFd = openFile(journalName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_journalFd < 0)
        throwWriteError(m_path, "open(journal)", errno);
    // The journal's name must be on disk before the table changes.
    if (int rc = syncDirectoryOf(m_path)) {
        ::close(m_journalFd);
        m_journalFd = -1;
        ::unlink(journalName.constData());
        throwWriteError(m_path, "fsync(dir)", rc);
    }
}

void JournaledFile::commit(const std::vector<Range>& ranges, qint64 newSize) {
    if (!m_writable || m_mode != Mode::Write) {
        throw DataError(
            DataError::Kind::ReadOnly,
            QStringLiteral("La table « %1 » ne peut pas être modifiée : %2.")
                .arg(shown(m_path), m_readOnlyReason.isEmpty()
                                        ? QStringLiteral("elle est ouverte en lecture seule")
                                        : m_readOnlyReason),
            QStringLiteral("file not writable"));
    }
    if (m_broken) {
        throw DataError(
            DataError::Kind::Io,
            QStringLiteral("Impossible d'écrire dans « %1 » : une écriture précédente a échoué ; "
                           "fermez et rouvrez la table.")
                .arg(shown(m_path)),
            QStringLiteral("file marked broken"));
    }
    const qint64 oldSize = fileSize(m_fd);
    if (oldSize < 0)
        throwReadError(m_path, "fstat", errno);

    // What the change overwrites, to put back if writing the table fails half-way.
    JournalImage undo;
    undo.fileSize = oldSize;
    for (const Range& range : ranges) {
        if (range.offset >= oldSize || range.bytes.isEmpty())
            continue;
        const qint64 length = qMin<qint64>(range.bytes.size(), oldSize - range.offset);
        QByteArray original(length, Qt::Uninitialized);
        if (int rc = readAt(m_fd, original.data(), length, range.offset))
            throwReadError(m_path, "pread", rc);
        undo.ranges.push_back({range.offset, std::move(original)});
    }

    // The journal holds the new bytes: once it is synced the change is decided, and
    // applying it again after a crash gives the same file.
    QByteArray journal;
    journal.append(kJournalMagic, 8);
    appendU64(journal, std::uint64_t(newSize));
    appendU64(journal, ranges.size());
    for (const Range& range : ranges) {
        appendU64(journal, std::uint64_t(range.offset));
        appendU64(journal, std::uint64_t(range.bytes.size()));
        journal.append(range.bytes);
    }
    appendU64(journal, checksum(journal.constData(), journal.size()));

    openJournal();
    int rc = writeAt(m_journalFd, journal.constData(), journal.size(), 0);
    if (rc == 0)
        rc = syncData(m_journalFd);
    if (rc != 0) {
        // The table is untouched; a partial journal reads as torn anyway.
        if (::ftruncate(m_journalFd, 0) == 0)
            ::fdatasync(m_journalFd);
        throwWriteError(m_path, "write(journal)", rc);
    }

    const char* failedCall = "pwrite";
    for (const Range& range : ranges) {
        rc = writeAt(m_fd, range.bytes.constData(), range.bytes.size(), range.offset);
        if (rc != 0)
            break;
    }
    if (rc == 0 && fileSize(m_fd) != newSize) {
        rc = truncateTo(m_fd, newSize);
        failedCall = "ftruncate";
    }
    if (rc == 0) {
        rc = syncData(m_fd);
        failedCall = "fdatasync";
    }
    if (rc == 0) {
        // Emptying the journal needs no sync: a journal that survives is applied again,
        // which changes nothing. A failure here is harmless for the same reason.
        truncateTo(m_journalFd, 0);
        return;
    }

    // Put the old bytes back, then retire the journal. If either step fails the journal
    // stays valid and the next open completes the change instead: still one whole state.
    if (applyJournal(m_fd, undo) == 0 && truncateTo(m_journalFd, 0) == 0 &&
        syncData(m_journalFd) == 0)
        throwWriteError(m_path, failedCall, rc);
    m_broken = true;
    throwWriteError(m_path, failedCall, rc);
}

void JournaledFile::createAtomically(const QString& filePath, const QByteArray& contents) {
    const QFileInfo info(filePath);
    if (info.exists()) {
        throw DataError(DataError::Kind::Io,
                        QStringLiteral("Impossible de créer « %1 » : le fichier existe déjà.")
                            .arg(shown(filePath)),
                        QStringLiteral("file exists"));
    }
    if (!info.absoluteDir().exists()) {
        throw DataError(DataError::Kind::NotFound,
                        QStringLiteral("Impossible de créer « %1 » : le dossier est introuvable.")
                            .arg(shown(filePath)),
                        QStringLiteral("no such directory"));
    }
    const QString tempPath = filePath + QStringLiteral(".tmp-%1").arg(::getpid());
    const QByteArray tempName = QFile::encodeName(tempPath);
    const QByteArray finalName = QFile::encodeName(filePath);
    const int fd = openFile(tempName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throwWriteError(filePath, "open", errno);
    int rc = writeAt(fd, contents.constData(), contents.size(), 0);
    if (rc == 0)
        rc = faultPoint("sync");
    if (rc == 0 && ::fsync(fd) != 0)
        rc = errno;
    ::close(fd);
    if (rc == 0) {
        rc = faultPoint("rename");
        // Neither step replaces a file that appeared in the meantime; link() serves file
        // systems that lack the no-replace rename.
        if (rc == 0 && ::renameat2(AT_FDCWD, tempName.constData(), AT_FDCWD, finalName.constData(),
                                   RENAME_NOREPLACE) != 0) {
            rc = errno;
            if (rc == EINVAL || rc == ENOSYS)
                rc = ::link(tempName.constData(), finalName.constData()) == 0 ? 0 : errno;
        }
    }
    ::unlink(tempName.constData());
    if (rc == EEXIST) {
        throw DataError(DataError::Kind::Io,
                        QStringLiteral("Impossible de créer « %1 » : le fichier existe déjà.")
                            .arg(shown(filePath)),
                        QStringLiteral("file exists"));
    }
    if (rc != 0)
        throwWriteError(filePath, "create", rc);
    if (int dirRc = syncDirectoryOf(filePath)) {
        // The new name may not survive a crash: take it back, so that a creation reported
        // as failed leaves no table behind.
        ::unlink(finalName.constData());
        throwWriteError(filePath, "fsync(dir)", dirRc);
    }
}

}  // namespace etb::data
