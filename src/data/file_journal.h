// The table file on disk: an exclusive lock other processes see, whole-file reads, and
// changes made atomic and durable by a rollback journal next to the file.
//
// Journal ("<file>-journal"): the new bytes of every range a change writes plus the new
// file size, closed by a checksum. A change writes and syncs the journal (from then on the
// change is decided), writes the table in place and syncs it, then empties the journal
// without a sync. A journal with a valid checksum found at open is "hot": its bytes are
// written into the table (again), which completes an interrupted change and is harmless
// for a finished one. A journal with a bad checksum was never complete, so the table was
// not touched; it is deleted. Two syncs per change.
//
// Locks are open-file-description locks (F_OFD_SETLK), so closing some other descriptor
// of the file never drops them. A process registry lets the process that holds a table
// for writing also open it for reading.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace etb::data {

// Test seam, for tests only: counts the file system calls of this layer (open, read, write,
// sync, rename, truncate, unlink, lock) and can make the n-th following one (n = 0 is the
// next call) fail with an errno, move only part of its bytes (a short count, which the
// callers must absorb), or end the process (crash simulation). When nothing is armed the
// cost is one branch per call. Not thread-safe; meant for single-threaded tests.
struct FileFaults {
    static void failCall(int callsFromNow, int errorNumber);
    static void shortCall(int callsFromNow);
    static void crashAtCall(int callsFromNow);
    // Records the name of every call from now on ("write", "sync", ...), for tests that
    // count the steps of a clean run before failing each in turn.
    static void recordCalls();
    static std::vector<const char*> recordedCalls();
    static void clear();
};

class JournaledFile {
public:
    enum class Mode { Read, Write };

    struct Range {
        qint64 offset = 0;
        QByteArray bytes;
    };

    // Read: takes a shared lock for as long as the object lives, unless this process
    // holds the file for writing. Write: takes the exclusive lock; a file the system will
    // not let us write is opened for reading only (see writable()). Completes the change
    // a hot journal holds, in both modes. Throws DataError (NotFound, Locked, Io).
    static std::unique_ptr<JournaledFile> open(const QString& filePath, Mode mode);

    // Creates filePath atomically with the given contents (temporary file, sync, rename
    // without replacing). Throws DataError (Io; Corrupt-free) when the file exists.
    static void createAtomically(const QString& filePath, const QByteArray& contents);

    ~JournaledFile();
    JournaledFile(const JournaledFile&) = delete;
    JournaledFile& operator=(const JournaledFile&) = delete;

    const QString& filePath() const { return m_path; }
    bool writable() const { return m_writable; }
    const QString& readOnlyReason() const { return m_readOnlyReason; }

    // The whole file as it is on disk now.
    QByteArray readAll() const;

    // Writes the ranges and sets the file size to newSize, as one atomic and durable
    // change. Ranges may extend the file. On failure DataError (Io) is thrown and the file
    // holds what it held before (or, if even putting the old bytes back failed, the next
    // open completes the change from the journal: one whole state either way).
    void commit(const std::vector<Range>& ranges, qint64 newSize);

private:
    JournaledFile() = default;
    void applyHotJournal();
    void openJournal();

    QString m_path;
    QString m_canonical;
    QString m_journalPath;
    int m_fd = -1;
    int m_journalFd = -1;
    Mode m_mode = Mode::Read;
    bool m_registeredWriter = false;
    bool m_writable = false;
    bool m_broken = false;
    QString m_readOnlyReason;
};

}  // namespace etb::data
