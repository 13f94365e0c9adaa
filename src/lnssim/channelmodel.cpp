#include "channelmodel.h"

#include <algorithm>

namespace lnssim {

qint64 ChannelModel::packetNanos(int bytes, const ChannelParams &params)
{
    const qint64 bits = qint64(bytes + params.overheadBytes) * 8;
    // bits / bitRate seconds, in nanoseconds; integer-exact for 78125 bit/s.
    return bits * 1000000000LL / params.bitRate;
}

ChannelModel::Cost ChannelModel::cost(Op op, int dataBytes, Outcome outcome, int latencyMs,
                                      const ChannelParams &params)
{
    const bool dataInRequest = op == Op::WriteCp || op == Op::WriteNv || op == Op::Download;
    const bool dataInAnswer = op == Op::ReadCp || op == Op::ReadNv;
    const int data = (dataInRequest || dataInAnswer) ? std::max(0, dataBytes) : 0;

    int requestHeader = 0;
    switch (op) {
    case Op::ReadCp:
    case Op::WriteCp:
    case Op::Download:
    case Op::ReadVersion:
        requestHeader = params.addressBytes;
        break;
    case Op::ReadNv:
    case Op::WriteNv:
        requestHeader = params.nvSelectorBytes;
        break;
    case Op::Test:
        requestHeader = 0;
        break;
    }
    int answerHeader = 0;
    if (op == Op::ReadNv)
        answerHeader = params.nvSelectorBytes;
    else if (op == Op::Test)
        answerHeader = params.statusBytes;
    else if (op == Op::ReadVersion)
        answerHeader = params.versionBytes;

    const int maxData = std::max(1, params.maxDataPerPacket);
    const int fragments = data == 0 ? 1 : (data + maxData - 1) / maxData;
    const qint64 accessNs = qint64(params.accessDelayUs) * 1000;

    Cost c;
    qint64 ns = 0;
    if (outcome == Outcome::Ok) {
        int left = data;
        for (int k = 0; k < fragments; ++k) {
            const int chunk = std::min(left, maxData);
            left -= chunk;
            const int request = requestHeader + (dataInRequest ? chunk : 0);
            const int answer = answerHeader + (dataInAnswer ? chunk : 0);
            ns += accessNs + packetNanos(request, params);
            ns += qint64(params.processingUs) * 1000;
            ns += accessNs + packetNanos(answer, params);
            if (op == Op::Download)
                ns += qint64(params.flashWriteUs) * 1000;
        }
        c.packets = 2 * fragments;
        c.fragments = fragments;
    } else {
        const int firstChunk = std::min(data, maxData);
        const int request = requestHeader + (dataInRequest ? firstChunk : 0);
        if (outcome == Outcome::DeviceError) {
            // The device rejects the first request with a one-byte error code.
            ns += accessNs + packetNanos(request, params);
            ns += qint64(params.processingUs) * 1000;
            ns += accessNs + packetNanos(1, params);
            c.packets = 2;
        } else {
            const int attempts = 1 + std::max(0, params.retries);
            for (int a = 0; a < attempts; ++a)
                ns += accessNs + packetNanos(request, params) + qint64(params.transactionTimerUs) * 1000;
            c.packets = attempts;
        }
        c.fragments = 1;
    }
    ns += qint64(std::max(0, latencyMs)) * 1000000;
    c.micros = (ns + 500) / 1000;
    return c;
}

} // namespace lnssim
