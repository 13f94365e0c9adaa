#include "cpio.h"

#include <lns/rawtext.h>
#include <platform/tracelog.h>

#include <utility>

namespace params {

namespace {

const QString kModule = QStringLiteral("cParams");

// Switches a CP object to the "RAW" format for the life of the guard and
// restores the format it had; a failure to switch is reported by ok().
class RawFormat
{
public:
    explicit RawFormat(const lns::ConfigPropertyPtr &cp) : m_cp(cp)
    {
        m_previous = cp->formatSpecifier();
        cp->setFormatSpecifier(lns::kRawFormat);
    }
    ~RawFormat()
    {
        try {
            m_cp->setFormatSpecifier(m_previous);
        } catch (const lns::LnsError &e) {
            CpIo::logError(kModule, QStringLiteral("RestoreFormat"), e.number(), e.description());
        }
    }

private:
    lns::ConfigPropertyPtr m_cp;
    QString m_previous;
};

QString cpName(const lns::ConfigPropertyPtr &cp)
{
    try {
        return cp->name();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("CpName"), e.number(), e.description());
        return QStringLiteral("?");
    }
}

constexpr int kErrBadRaw = lns::ErrBadValue;

} // namespace

void CpIo::logError(const QString &module, const QString &procedure, int number, const QString &description)
{
    platform::TraceLog::instance().logError(module, procedure, number, description);
}

QString CpIo::identityOf(const lns::ConfigPropertyPtr &cp)
{
    // Index and name of the CP and the class and name of each owner up to
    // the device: two objects of the same CP of the same device agree.
    QString id;
    try {
        id = QString::number(cp->index()) + QLatin1Char('/') + cp->name();
        lns::ObjectPtr owner = cp->parent();
        for (int depth = 0; owner && depth < 4; ++depth) {
            int index = 0;
            if (auto d = std::dynamic_pointer_cast<lns::AppDevice>(owner))
                index = d->index();
            else if (auto o = std::dynamic_pointer_cast<lns::LonMarkObject>(owner))
                index = o->index();
            else if (auto nv = std::dynamic_pointer_cast<lns::NetworkVariable>(owner))
                index = nv->index();
            id += QStringLiteral("|%1:%2:%3").arg(owner->classId()).arg(index).arg(owner->name());
            if (owner->classId() == lns::ClsAppDevice)
                break;
            owner = owner->parent();
        }
    } catch (const lns::LnsError &e) {
        // Without a full identity the object only matches itself.
        platform::traceCaughtError(QStringLiteral("CpIdentity"), e.number(), e.description());
        id += QStringLiteral("|@") + QString::number(reinterpret_cast<quintptr>(cp.get()), 16);
    }
    return id;
}

lns::ConfigPropertyPtr CpIo::adopt(const lns::ConfigPropertyPtr &cp)
{
    if (!cp)
        return cp;
    if (m_images.count(cp.get()))
        return cp;
    const QString id = identityOf(cp);
    for (const lns::ConfigProperty *key : m_adoptOrder) {
        const Image &img = m_images.at(key);
        if (img.identity == id)
            return img.cp;
    }
    Image img;
    img.cp = cp;
    img.identity = id;
    m_images.emplace(cp.get(), std::move(img));
    m_adoptOrder << cp.get();
    return cp;
}

bool CpIo::isAdopted(const lns::ConfigPropertyPtr &cp) const
{
    return cp && m_images.count(cp.get()) != 0;
}

CpIo::Image *CpIo::image(const lns::ConfigPropertyPtr &cp)
{
    if (!cp)
        return nullptr;
    auto it = m_images.find(cp.get());
    return it == m_images.end() ? nullptr : &it->second;
}

const CpIo::Image *CpIo::image(const lns::ConfigPropertyPtr &cp) const
{
    if (!cp)
        return nullptr;
    auto it = m_images.find(cp.get());
    return it == m_images.end() ? nullptr : &it->second;
}

bool CpIo::sizesOf(const lns::ConfigPropertyPtr &cp, int *elementLength, int *dimension)
{
    Image *img = image(cp);
    if (img && img->elementLength > 0 && img->dimension > 0) {
        *elementLength = img->elementLength;
        *dimension = img->dimension;
        return true;
    }
    try {
        const int el = cp->elementByteLength();
        const int dim = cp->dimension();
        if (el <= 0 || dim <= 0 || el * dim > 32767) {
            logError(kModule, QStringLiteral("CpSize"), kErrBadRaw,
                     QStringLiteral("CP %1 reports %2 bytes x %3 elements").arg(cpName(cp)).arg(el).arg(dim));
            return false;
        }
        if (img) {
            img->elementLength = el;
            img->dimension = dim;
        }
        *elementLength = el;
        *dimension = dim;
        return true;
    } catch (const lns::LnsError &e) {
        logError(kModule, QStringLiteral("CpSize"), e.number(), e.description());
        return false;
    }
}

int CpIo::elementByteLength(const lns::ConfigPropertyPtr &cp)
{
    int el = -1, dim = -1;
    if (!cp || !sizesOf(cp, &el, &dim))
        return -1;
    return el;
}

int CpIo::dimension(const lns::ConfigPropertyPtr &cp)
{
    int el = -1, dim = -1;
    if (!cp || !sizesOf(cp, &el, &dim))
        return -1;
    return dim;
}

int CpIo::byteLength(const lns::ConfigPropertyPtr &cp)
{
    int el = -1, dim = -1;
    if (!cp || !sizesOf(cp, &el, &dim))
        return -1;
    return el * dim;
}

std::optional<QByteArray> CpIo::lnsRead(const lns::ConfigPropertyPtr &cp, int elementLength, int dimension,
                                        const QString &module, const QString &procedure)
{
    try {
        RawFormat raw(cp);
        QByteArray bytes;
        bytes.reserve(elementLength * dimension);
        if (m_readDatabase) {
            // The database holds the whole CP as one raw text.
            QString why;
            const auto kept = m_databaseSnapshot.constFind(cpName(cp));
            const QString raw = kept != m_databaseSnapshot.constEnd() ? *kept : cp->databaseValue();
            const auto all = parseRawText(raw, elementLength * dimension, &why);
            if (!all)
                logError(module, procedure, kErrBadRaw, QStringLiteral("CP %1 (database): %2").arg(cpName(cp), why));
            return all;
        }
        for (int e = 0; e < dimension; ++e) {
            const QString text = dimension == 1 ? cp->value() : cp->elementValue(e);
            ++m_stats.lnsValueReads;
            QString why;
            const auto part = parseRawText(text, elementLength, &why);
            if (!part) {
                logError(module, procedure, kErrBadRaw,
                         QStringLiteral("CP %1%2: %3")
                             .arg(cpName(cp), dimension == 1 ? QString() : QStringLiteral(" element %1").arg(e), why));
                return std::nullopt;
            }
            bytes += *part;
        }
        return bytes;
    } catch (const lns::LnsError &e) {
        logError(module, procedure, e.number(), QStringLiteral("CP %1: %2").arg(cpName(cp), e.description()));
        return std::nullopt;
    }
}

std::optional<QByteArray> CpIo::readCp(const lns::ConfigPropertyPtr &cp, const QString &module,
                                       const QString &procedure)
{
    if (!cp)
        return std::nullopt;
    if (m_readDatabase) {
        // The database's copy is a different source: neither answered from
        // nor stored into the image of what the device holds.
        int el = 0, dim = 0;
        if (!sizesOf(cp, &el, &dim))
            return std::nullopt;
        return lnsRead(cp, el, dim, module, procedure);
    }
    Image *img = image(cp);
    if (img) {
        if (img->hasStaged)
            return img->staged;
        if (m_readBatch && img->readInBatch && img->deviceKnown)
            return img->device;
    }
    int el = 0, dim = 0;
    if (!sizesOf(cp, &el, &dim))
        return std::nullopt;
    auto bytes = lnsRead(cp, el, dim, module, procedure);
    if (!bytes && img) {
        // What the device holds is no longer known: a later field write
        // reads the CP again rather than merging into old bytes.
        img->deviceKnown = false;
    }
    if (bytes && img) {
        // While a write of this transaction is pending, a read may show it;
        // the device bytes are only what the device holds for sure.
        if (!img->hasPendingTx) {
            img->device = *bytes;
            img->deviceKnown = true;
        }
        img->readInBatch = m_readBatch;
    }
    return bytes;
}

void CpIo::markFailed(const lns::ConfigPropertyPtr &cp)
{
    if (!m_failed.contains(cp.get())) {
        m_failed.insert(cp.get());
        m_failedNames << cpName(cp);
    }
}

bool CpIo::databaseHolds(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes)
{
    try {
        const auto held = parseRawText(cp->databaseValue(), bytes.size());
        return held && *held == bytes;
    } catch (const lns::LnsError &e) {
        // Unknown: the write goes out.
        platform::traceCaughtError(QStringLiteral("SkipMatching"), e.number(), e.description());
        return false;
    }
}

bool CpIo::send(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes, const QString &module,
                const QString &procedure)
{
    Image *img = image(cp);
    if ((m_skipMatching && img && img->deviceKnown && !img->hasPendingTx && img->device == bytes)
        || (m_skipMatchingDatabase && databaseHolds(cp, bytes))) {
        ++m_stats.skippedWrites;
        return true;
    }
    if (m_dryRun) {
        m_sent << SentCp{cpName(cp), bytes};
        return true;
    }
    int el = 0, dim = 0;
    if (!sizesOf(cp, &el, &dim)) {
        markFailed(cp);
        return false;
    }
    bool ok = true;
    try {
        RawFormat raw(cp);
        // A failing element does not stop the others.
        for (int e = 0; e < dim; ++e) {
            try {
                const QString text = rawText(bytes.mid(e * el, el));
                ++m_stats.lnsValueWrites;
                if (dim == 1)
                    cp->setValue(text);
                else
                    cp->setElementValue(e, text);
            } catch (const lns::LnsError &err) {
                ok = false;
                logError(module, procedure, err.number(), QStringLiteral("CP %1: %2").arg(cpName(cp), err.description()));
            }
        }
    } catch (const lns::LnsError &err) {
        ok = false;
        logError(module, procedure, err.number(), QStringLiteral("CP %1: %2").arg(cpName(cp), err.description()));
    }
    if (!ok) {
        markFailed(cp);
        if (img)
            img->deviceKnown = false;
        return false;
    }
    if (img) {
        if (m_ownTx) {
            img->pendingTx = bytes;
            if (!img->hasPendingTx)
                m_txWritten << cp.get();
            img->hasPendingTx = true;
        } else if (m_system && m_system->inTransaction()) {
            // Someone else's transaction decides; until then the device
            // bytes are not known.
            img->deviceKnown = false;
        } else {
            img->device = bytes;
            img->deviceKnown = true;
        }
    } else if (m_ownTx) {
        m_txWrittenForeign << cp;
    }
    m_sent << SentCp{cpName(cp), bytes};
    return true;
}

std::optional<QByteArray> CpIo::knownBytes(const lns::ConfigPropertyPtr &cp) const
{
    const Image *img = cp ? image(cp) : nullptr;
    if (!img || !img->deviceKnown)
        return std::nullopt;
    return img->device;
}

bool CpIo::writeCp(const lns::ConfigPropertyPtr &cp, const QByteArray &bytes, const QString &module,
                   const QString &procedure)
{
    if (!cp)
        return false;
    const int length = byteLength(cp);
    if (length < 0) {
        markFailed(cp);
        return false;
    }
    if (bytes.size() != length) {
        logError(module, procedure, kErrBadRaw,
                 QStringLiteral("CP %1: %2 bytes given, the CP has %3").arg(cpName(cp)).arg(bytes.size()).arg(length));
        markFailed(cp);
        return false;
    }
    Image *img = image(cp);
    if (img && m_writeBatch) {
        img->staged = bytes;
        if (!img->hasStaged)
            m_stageOrder << cp.get();
        img->hasStaged = true;
        return true;
    }
    return send(cp, bytes, module, procedure);
}

std::optional<qint64> CpIo::readField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, const QString &module,
                                      const QString &procedure)
{
    const auto bytes = readCp(cp, module, procedure);
    if (!bytes)
        return std::nullopt;
    QString why;
    const auto v = params::readField(*bytes, place, elementByteLength(cp), &why);
    if (!v)
        logError(module, procedure, kErrBadRaw, QStringLiteral("CP %1: %2").arg(cpName(cp), why));
    return v;
}

bool CpIo::writeField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, qint64 value, const QString &module,
                      const QString &procedure)
{
    if (!cp)
        return false;
    int el = 0, dim = 0;
    if (!sizesOf(cp, &el, &dim))
        return false;
    const int length = el * dim;
    if (m_ownTx && !image(cp) && m_coveredForeign.contains(cpName(cp)))
        return holdForeignField(cp, place, el, length, value, module, procedure);
    QByteArray base;
    if (fieldCoversCp(place, el, length)) {
        base = QByteArray(length, '\0');
    } else {
        // The current bytes of the CP: merged earlier in this write, written
        // in this transaction, known from the last read or write, or read now.
        const Image *img = image(cp);
        if (img && img->hasStaged)
            base = img->staged;
        else if (img && img->hasPendingTx)
            base = img->pendingTx;
        else if (img && img->deviceKnown)
            base = img->device;
        else {
            const auto current = readCp(cp, module, procedure);
            if (!current)
                return false;
            base = *current;
        }
    }
    QString why;
    const auto merged = params::writeField(base, place, el, value, &why);
    if (!merged) {
        // The field keeps its old bytes; the write as a whole reports it.
        logError(module, procedure, kErrBadRaw, QStringLiteral("CP %1: %2").arg(cpName(cp), why));
        markFailed(cp);
        return false;
    }
    return writeCp(cp, *merged, module, procedure);
}

bool CpIo::holdForeignField(const lns::ConfigPropertyPtr &cp, const FieldPlace &place, int elementLength, int length,
                            qint64 value, const QString &module, const QString &procedure)
{
    const QString id = identityOf(cp);
    auto it = m_foreign.find(id);
    if (it == m_foreign.end()) {
        it = m_foreign.insert(id, ForeignMerge{cp, QByteArray(length, '\0'), QVector<bool>(length, false)});
        m_foreignOrder << id;
    }
    QString why;
    const auto layout = fieldLayout(place, elementLength, length, &why);
    const auto merged = layout ? params::writeField(it->bytes, place, elementLength, value, &why) : std::nullopt;
    if (!merged) {
        // The field stays unwritten: the flush takes the object's own bytes.
        logError(module, procedure, kErrBadRaw, QStringLiteral("CP %1: %2").arg(cpName(cp), why));
        markFailed(cp);
        return false;
    }
    it->bytes = *merged;
    for (int i = layout->first; i < layout->first + layout->count && i < length; ++i)
        it->written[i] = true;
    return true;
}

bool CpIo::flushForeignMerges(const QString &module, const QString &procedure)
{
    bool ok = true;
    const QVector<QString> order = std::exchange(m_foreignOrder, {});
    const QHash<QString, ForeignMerge> held = std::exchange(m_foreign, {});
    for (const QString &id : order) {
        ForeignMerge m = held.value(id);
        if (m.written.contains(false)) {
            // Not every field arrived: merge into what the object holds.
            const auto current = readCp(m.cp, module, procedure);
            if (!current || current->size() != m.bytes.size()) {
                markFailed(m.cp);
                ok = false;
                continue;
            }
            for (int i = 0; i < m.bytes.size(); ++i) {
                if (!m.written.at(i))
                    m.bytes[i] = current->at(i);
            }
        }
        ok = send(m.cp, m.bytes, module, procedure) && ok;
    }
    return ok;
}

void CpIo::beginReadBatch()
{
    m_readBatch = true;
    for (auto &kv : m_images)
        kv.second.readInBatch = false;
}

void CpIo::endReadBatch()
{
    m_readBatch = false;
    for (auto &kv : m_images)
        kv.second.readInBatch = false;
}

void CpIo::beginWriteBatch()
{
    m_writeBatch = true;
}

void CpIo::endWriteBatch()
{
    m_writeBatch = false;
    const auto order = m_stageOrder;
    m_stageOrder.clear();
    for (const lns::ConfigProperty *key : order) {
        auto it = m_images.find(key);
        if (it == m_images.end() || !it->second.hasStaged)
            continue;
        const QByteArray bytes = it->second.staged;
        it->second.staged.clear();
        it->second.hasStaged = false;
        send(it->second.cp, bytes, kModule, QStringLiteral("WriteToLns"));
    }
}

bool CpIo::startTransaction(const QString &procedure)
{
    if (!m_system || m_ownTx)
        return false;
    try {
        // A transaction the caller holds on the System takes the
        // collection's reads and writes; the caller commits or cancels it.
        if (m_system->inTransaction())
            return false;
        m_system->startTransaction();
        m_ownTx = true;
        m_txWritten.clear();
        m_txWrittenForeign.clear();
        m_foreign.clear();
        m_foreignOrder.clear();
        return true;
    } catch (const lns::LnsError &e) {
        logError(kModule, procedure, e.number(), QStringLiteral("StartTransaction: ") + e.description());
        return false;
    }
}

bool CpIo::commitTransaction(const QString &procedure)
{
    if (!m_ownTx)
        return false;
    bool ok = true;
    try {
        m_system->commitTransaction();
    } catch (const lns::LnsError &e) {
        ok = false;
        logError(kModule, procedure, e.number(), QStringLiteral("CommitTransaction: ") + e.description());
        try {
            if (m_system->inTransaction())
                m_system->cancelTransaction();
        } catch (const lns::LnsError &cancel) {
            platform::traceCaughtError(QStringLiteral("CancelTransaction after a failed commit"), cancel.number(),
                                       cancel.description());
        }
    }
    m_ownTx = false;
    for (const lns::ConfigProperty *key : m_txWritten) {
        auto it = m_images.find(key);
        if (it == m_images.end())
            continue;
        Image &img = it->second;
        if (ok) {
            img.device = img.pendingTx;
            img.deviceKnown = true;
        } else {
            // All or nothing: the device keeps the bytes it had.
            markFailed(img.cp);
        }
        img.pendingTx.clear();
        img.hasPendingTx = false;
    }
    if (!ok) {
        for (const auto &cp : m_txWrittenForeign)
            markFailed(cp);
    }
    m_txWritten.clear();
    m_txWrittenForeign.clear();
    return ok;
}

void CpIo::cancelTransaction(const QString &procedure)
{
    m_foreign.clear();
    m_foreignOrder.clear();
    if (!m_ownTx)
        return;
    try {
        m_system->cancelTransaction();
    } catch (const lns::LnsError &e) {
        logError(kModule, procedure, e.number(), QStringLiteral("CancelTransaction: ") + e.description());
    }
    m_ownTx = false;
    for (const lns::ConfigProperty *key : m_txWritten) {
        auto it = m_images.find(key);
        if (it == m_images.end())
            continue;
        it->second.pendingTx.clear();
        it->second.hasPendingTx = false;
    }
    m_txWritten.clear();
    m_txWrittenForeign.clear();
}

void CpIo::clearFailures()
{
    m_failed.clear();
    m_failedNames.clear();
}

bool CpIo::writeFailed(const lns::ConfigPropertyPtr &cp) const
{
    return cp && m_failed.contains(cp.get());
}

} // namespace params
