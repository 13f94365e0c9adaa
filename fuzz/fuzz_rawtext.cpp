// The object server's RAW text of a CP value: any text either is refused
// (and leaves the output untouched) or gives bytes whose RAW text parses
// back to the same bytes; any bytes survive the round trip.
#include "fuzzsupport.h"

#include <lns/rawtext.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);

    const QString text = QString::fromUtf8(input);
    QByteArray parsed("untouched");
    if (lns::parseRaw(text, &parsed)) {
        QByteArray again;
        fuzz::require(lns::parseRaw(lns::formatRaw(parsed), &again), "formatted bytes are refused");
        fuzz::require(again == parsed, "formatted bytes parse to other bytes");
    } else {
        fuzz::require(parsed == "untouched", "a refused text changed the output");
    }

    QByteArray back;
    fuzz::require(lns::parseRaw(lns::formatRaw(input), &back) && back == input, "bytes do not survive RAW text");
    return 0;
}
