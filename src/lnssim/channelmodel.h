// Time model of one device transaction on a 78 kbit/s twisted-pair channel.
//
// The simulated object server charges every device transaction (CP read or
// write, NV fetch or update, device test, application version read,
// application download) with the time it would occupy on the channel, so that
// tests and benchmarks can tell what a workflow costs on a real network. The
// whole model is the single function ChannelModel::cost(); docs/channel-model.md
// explains the figures and works an example through.
#pragma once

#include <QtGlobal>

namespace lnssim {

// Figures of the channel and of the devices on it. The defaults are the
// model's; tests may vary them.
struct ChannelParams
{
    int bitRate = 78125;                // bit/s of the twisted-pair channel
    int overheadBytes = 13;             // per packet: preamble 2, link 1, network 1, addresses 5, transport 1, code 1, CRC 2
    int maxDataPerPacket = 64;          // larger values and images travel in fragments
    int addressBytes = 4;               // per request: where in the device the data lives (selector/offset, length, mode)
    int accessDelayUs = 500;            // mean media access (idle and randomising slots) before each packet
    int processingUs = 2000;            // the device's processing time per request answered
    int flashWriteUs = 5000;            // extra per download fragment: the device programs its flash
    int transactionTimerUs = 64000;     // how long the sender waits for an answer before a retry
    int retries = 3;                    // retries after the first attempt when no answer comes
    int statusBytes = 13;               // answer to a device test (status record)
    int versionBytes = 4;               // answer to an application version read
    int nvSelectorBytes = 2;            // NV fetch / update: the NV selector in front of the value
};

class ChannelModel
{
public:
    enum class Op {
        ReadCp,      // dataBytes = CP length; data flows in the answers
        WriteCp,     // dataBytes = CP length; data flows in the requests, answers are bare acknowledgements
        ReadNv,      // dataBytes = NV length; request carries the NV selector, answer selector + value
        WriteNv,     // dataBytes = NV length; request carries selector + value, answer acknowledges
        Test,        // dataBytes ignored; answer is the status record
        ReadVersion, // dataBytes ignored; answer is the version record
        Download,    // dataBytes = image length; like WriteCp plus the flash time per fragment
    };
    enum class Outcome {
        Ok,          // every request answered
        DeviceError, // the device answers the first request with an error code (1 byte)
        NoAnswer,    // the device never answers: 1 + retries attempts of the first request, each timing out
    };

    struct Cost
    {
        qint64 micros = 0; // modelled time, microseconds (rounded to nearest)
        int packets = 0;   // packets put on the channel (requests, answers, repeats)
        int fragments = 0; // request/answer exchanges the transaction was split into
    };

    // The model. latencyMs is an extra delay per transaction (an injected
    // fault: a slow router or a busy device), added once.
    static Cost cost(Op op, int dataBytes, Outcome outcome, int latencyMs = 0,
                     const ChannelParams &params = ChannelParams());

    // Time of one packet of `bytes` bytes including the packet overhead, in
    // nanoseconds (exact for the default bit rate: 102 400 ns per byte).
    static qint64 packetNanos(int bytes, const ChannelParams &params = ChannelParams());
};

} // namespace lnssim
