// The collection's access to configuration properties (CPs).
//
// Every byte a parameter reads from or writes to a CP goes through one CpIo,
// which the collection owns:
// - it switches the CP object to the "RAW" format for each access and back,
//   reads and writes element by element for CPs of more than one element, and
//   parses raw texts strictly (a wrong byte count or a piece that is not a
//   number 0..255 fails the read);
// - it is the field reader and field writer of the parameter classes;
// - it keeps, for each CP of the collection, the bytes last read from or
//   written to the device, so that a field of a shared CP is merged into the
//   CP's current bytes without reading the device again, and the parameters
//   that share a CP are written as one CP write;
// - it runs the collection's transactions on the System and knows which CP
//   writes a failed commit took back.
//
// Errors are never thrown out of CpIo: each is written to the trace log's
// error logger with the procedure that met it, and the call reports failure.
#pragma once

#include "rawfield.h"

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <unordered_map>

namespace params {

class CpIo
{
public:
    CpIo() = default;
    CpIo(const CpIo &) = delete;
    CpIo &operator=(const CpIo &) = delete;

    void setSystem(lns::SystemPtr system) { m_system = std::move(system); }
    lns::SystemPtr system() const { return m_system; }

    // Registers a CP of the collection and returns the object that stands for
    // it: the one registered first when another object of the same CP (same
    // owner, index and name) is already known. nullptr stays nullptr.
    lns::ConfigPropertyPtr adopt(const lns::ConfigPropertyPtr &cp);
    bool isAdopted(const lns::ConfigPropertyPtr &cp) const;

    // Sizes from the CP object (cached for adopted CPs); -1 when unknown.
    int elementByteLength(const lns::ConfigPropertyPtr &cp);
    int dimension(const lns::ConfigPropertyPtr &cp);
    int byteLength(const lns::ConfigPropertyPtr &cp);

    // Whole CP, all elements. `module`/`procedure` name the caller in the
    // error log.
    std::optional<QByteArray> readCp(const lns::ConfigPropertyPtr &cp, const QString &module, const QString &procedure);
    bool writeCp(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes, const QString &module,
                 const QString &procedure);

    // The field reader and writer of the parameter classes (a whole CP or a
    // part of it): a partial field is merged into the CP's current bytes,
    // which are read from the device only when the collection holds none.
    std::optional<qint64> readField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, const QString &module,
                                    const QString &procedure);
    bool writeField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, qint64 value, const QString &module,
                    const QString &procedure);

    // A read batch serves every further read of a CP from the bytes the
    // batch already read; a write batch collects the CP writes and sends
    // each CP once, in the order first written, when it ends.
    void beginReadBatch();
    void endReadBatch();
    void beginWriteBatch();
    void endWriteBatch();
    bool inWriteBatch() const { return m_writeBatch; }

    // Transactions of the collection on its System. start returns false
    // (and logs) when there is no System or it refuses; commit returns false
    // when the commit failed, in which case every CP written inside the
    // transaction counts as failed (the object server drops them all).
    // Inside a transaction the caller holds on the System, start returns
    // false without a word: the collection works in the caller's.
    bool startTransaction(const QString &procedure);
    bool commitTransaction(const QString &procedure);
    void cancelTransaction(const QString &procedure);
    bool ownTransaction() const { return m_ownTx; }

    // Leaves out a CP write whose bytes equal the bytes the device is known
    // to hold (used where the caller has read the device anyway).
    void setSkipMatchingCps(bool on) { m_skipMatching = on; }
    bool skipMatchingCps() const { return m_skipMatching; }
    // Leaves out a CP write whose bytes equal the CP's copy in the network
    // database (no device transaction to find out; it trusts that the
    // database copy is what the device holds).
    void setSkipMatchingDatabase(bool on) { m_skipMatchingDatabase = on; }

    // CPs (LNS names) of another object whose every byte the write in
    // progress makes itself. Inside the own transaction their fields are
    // merged into zeros and held back; flushForeignMerges sends each such
    // CP once, after a merge read of that object only when a field was not
    // written after all (the object keeps its own bytes there).
    void setCoveredForeignCps(QSet<QString> names) { m_coveredForeign = std::move(names); }
    bool flushForeignMerges(const QString &module, const QString &procedure);

    // For the command-line tool. A dry run goes through the whole write
    // sequence but sends nothing: every CP write that would go out is
    // recorded (and counts as done). Reading from the database takes each
    // CP's value from the network database instead of the device.
    void setDryRun(bool on) { m_dryRun = on; }
    bool dryRun() const { return m_dryRun; }
    void setReadFromDatabase(bool on) { m_readDatabase = on; }
    // Database values (RAW text by CP name) taken before the device was
    // read: a device read brings the database copy up to the device, so a
    // comparison of the two needs the database as it was. CPs not listed
    // are read from the database as it is now.
    void setDatabaseSnapshot(QHash<QString, QString> rawByCpName) { m_databaseSnapshot = std::move(rawByCpName); }
    struct SentCp
    {
        QString name;
        QByteArray bytes;
    };
    // CP writes that went out (or would have, in a dry run) since clearSent.
    const QVector<SentCp> &sentCps() const { return m_sent; }
    void clearSent() { m_sent.clear(); }
    // The bytes the collection knows the device to hold; nullopt if none.
    std::optional<QByteArray> knownBytes(const lns::ConfigPropertyPtr &cp) const;

    // CP writes that failed (or were taken back by a failed commit) since
    // the last clearFailures; by object and by name.
    void clearFailures();
    // A caller refused to write a value into the CP (it does not fit): the
    // CP counts as failed for the write in progress.
    void reportRefused(const lns::ConfigPropertyPtr &cp) { markFailed(cp); }
    bool writeFailed(const lns::ConfigPropertyPtr &cp) const;
    QStringList failedCpNames() const { return m_failedNames; }
    bool anyWriteFailed() const { return !m_failed.isEmpty(); }

    // What the collection did on the object server, for tests and benchmarks.
    struct Stats
    {
        int lnsValueReads = 0;  // whole-CP or element value reads
        int lnsValueWrites = 0; // whole-CP or element value writes
        int skippedWrites = 0;  // CP writes left out because the bytes matched
    };
    const Stats &stats() const { return m_stats; }
    void resetStats() { m_stats = Stats(); }

    // Error of a caller, written to the trace log's error logger.
    static void logError(const QString &module, const QString &procedure, int number, const QString &description);

private:
    struct Image
    {
        lns::ConfigPropertyPtr cp;
        QString identity;
        int elementLength = -1;
        int dimension = -1;
        QByteArray device;
        bool deviceKnown = false;
        QByteArray pendingTx;
        bool hasPendingTx = false;
        QByteArray staged;
        bool hasStaged = false;
        bool readInBatch = false;
    };
    Image *image(const lns::ConfigPropertyPtr &cp);
    const Image *image(const lns::ConfigPropertyPtr &cp) const;
    static QString identityOf(const lns::ConfigPropertyPtr &cp);
    bool sizesOf(const lns::ConfigPropertyPtr &cp, int *elementLength, int *dimension);
    std::optional<QByteArray> lnsRead(const lns::ConfigPropertyPtr &cp, int elementLength, int dimension,
                                      const QString &module, const QString &procedure);
    bool send(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes, const QString &module,
              const QString &procedure);
    void markFailed(const lns::ConfigPropertyPtr &cp);
    static bool databaseHolds(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes);
    bool holdForeignField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, int elementLength, int length,
                          qint64 value, const QString &module, const QString &procedure);

    lns::SystemPtr m_system;
    std::unordered_map<const lns::ConfigProperty *, Image> m_images;
    QVector<const lns::ConfigProperty *> m_adoptOrder;
    QVector<const lns::ConfigProperty *> m_stageOrder;
    QVector<const lns::ConfigProperty *> m_txWritten;
    // CPs outside the collection (another device's) written in the transaction.
    QVector<lns::ConfigPropertyPtr> m_txWrittenForeign;
    // Fields of covered CPs of another object, held back until the flush.
    struct ForeignMerge
    {
        lns::ConfigPropertyPtr cp;
        QByteArray bytes;
        QVector<bool> written; // per byte: a field of the set wrote it
    };
    QVector<QString> m_foreignOrder;
    QHash<QString, ForeignMerge> m_foreign;
    QSet<QString> m_coveredForeign;
    QSet<const lns::ConfigProperty *> m_failed;
    QStringList m_failedNames;
    bool m_readBatch = false;
    bool m_writeBatch = false;
    bool m_ownTx = false;
    bool m_skipMatching = false;
    bool m_skipMatchingDatabase = false;
    bool m_dryRun = false;
    QHash<QString, QString> m_databaseSnapshot;
    bool m_readDatabase = false;
    QVector<SentCp> m_sent;
    Stats m_stats;
};

} // namespace params
