// The readings of one meter that the broker has not yet taken, kept on disk
// so that an outage, a crash or a power cut loses at most the last second.
//
// The file (one per meter, NAME.spool, NAME the serial made plain) is a
// header line and then one reading's JSON object per line, oldest first:
//
//   tirevo reading spool 1 start=00000000000000000042\n
//   {"time":"...","ph":7.02,...}\n
//
// "start" is the byte offset of the oldest line still owed to the broker;
// the lines before it were delivered (or dropped by the bound). It has a
// fixed width, so moving it rewrites the same bytes in place and never
// shifts the lines. Once every line is delivered the file is cut back to its
// header; a long delivered head is cut off by writing the rest into a new
// file that replaces the old one in one rename.
//
// Memory does not grow with the backlog: only offsets of the readings now in
// flight (at most the window the caller asks for) are held; payloads are
// read back from the file in small batches as they are sent.
#pragma once

#include <QFile>
#include <QLockFile>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

class ReadingSpool {
public:
    // About 12 days at one reading a second, some 90 MB of file.
    static constexpr uint64_t kDefaultMax = 1000000;
    // How long an appended reading may wait for the disk (a power cut loses
    // at most this much); a crash of the program loses nothing written.
    static constexpr int64_t kSyncIntervalMs = 1000;

    enum class OpenResult {
        Fresh,     // no spool was left: an empty one was made
        Resumed,   // a spool was left; Pending() readings are owed
        Repaired,  // as Resumed, after dropping a line torn by a crash
        Corrupt,   // the file was damaged: kept aside, a fresh one made (Message())
        Failed,    // no spool could be made, or another run has it (Message())
    };

    struct Entry {
        uint64_t id = 0;  // the spool's own number, for Acknowledged
        std::string payload;
    };

    ReadingSpool(QString folder, std::string_view serial, uint64_t maxEntries = kDefaultMax);
    ReadingSpool(const ReadingSpool&) = delete;
    ReadingSpool& operator=(const ReadingSpool&) = delete;
    ~ReadingSpool();

    // Opens the meter's spool in the folder (made when missing). nowMs is
    // the caller's clock; the first sync to disk is due a second after it.
    OpenResult Open(int64_t nowMs);
    // What the user is told after Corrupt, Failed or a false Append; the
    // caller puts the program's name before it.
    const QString& Message() const { return message_; }
    QString Path() const;

    // Appends one reading (a single line of JSON) at the end; the oldest
    // goes when the bound is reached. False when the disk refused it (Message()).
    bool Append(std::string_view payload);
    // Up to count readings, oldest first, that are not in flight: those a
    // lost connection gave back, then the next ones of the file. They are in
    // flight until acknowledged or given back by ConnectionLost().
    std::vector<Entry> TakeNext(std::size_t count);
    // The broker has it. Acknowledgements may come in any order; the file's
    // start only moves over the acknowledged readings at its head.
    void Acknowledged(uint64_t id);
    // The connection is gone: what was in flight and not acknowledged goes
    // again, in its order, before anything newer.
    void ConnectionLost();

    // Readings owed to the broker, including those in flight.
    uint64_t Pending() const { return pending_; }
    std::size_t InFlight() const;
    // Readings dropped by the bound since the last call.
    uint64_t TakeDropped();

    // Makes the appended readings and the start safe on the disk when the
    // last sync is a second old or more.
    void SyncIfDue(int64_t nowMs);
    // Makes them safe now (at the end of a run).
    void Sync();
    // Something written is not yet known to be on the disk.
    bool Unsynced() const { return dirty_; }
    // Syncs, closes the file and lets another run have the spool.
    void Close();

private:
    enum class State { Sent, Acked, Returned };
    struct Flight {
        uint64_t id;
        int64_t offset;
        int64_t end;  // just past the line's newline
        State state;
    };

    OpenResult OpenExisting(const QString& path);
    bool CreateFresh(const QString& path);
    OpenResult SetAside(const QString& path, const QString& why);
    bool WriteStart();
    bool ReadLine(int64_t offset, std::string& line, int64_t& end);
    void DropOldest();
    bool PopAckedHead();
    void ReleaseHead();
    void Compact();
    bool Rewrite();
    void Fail(const QString& why);

    QString folder_;
    std::string name_;
    uint64_t max_;
    std::unique_ptr<QLockFile> lock_;  // one run at a time per meter's spool
    QFile file_;
    QString message_;
    int64_t start_ = 0;   // offset of the oldest line owed
    int64_t cursor_ = 0;  // offset of the oldest line not yet taken
    int64_t size_ = 0;    // the file's length
    uint64_t pending_ = 0;
    uint64_t dropped_ = 0;
    uint64_t nextId_ = 1;
    std::deque<Flight> flights_;  // in file order; bounded by what the caller takes
    bool dirty_ = false;
    int64_t lastSyncMs_ = 0;
};

}  // namespace tirevo
